#include "tform1.h"

#include "tform4.h"

#include "backup/failednight.h"
#include "backup/tform2.h"
#include "platform/drives.h"
#include "platform/hosterror.h"
#include "platform/hostpath.h"
#include "restore/tform3.h"
#include "store/backupstore.h"
#include "store/lastbackup.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "threads/uithread.h"
#include "toolkit/messagebox.h"
#include "toolkit/qtext.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/drivecombobox.h"
#include "widgets/image.h"
#include "widgets/panel.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

#include <mutex>
#include <system_error>
#include <thread>

namespace {

const text::Text kCaption{u8"Tarnwick 2004"};
const text::Text kTwoIdeographicSpaces{u8"　　"};
const text::Text kStatusPrefix{u8" 備份狀態："};
const text::Text kRestoreLink{u8" 檔案還原　"};
const text::Text kSourceHeading{u8"點選備份來源資料夾"};
const text::Text kDestHeading{u8"點選備份目地資料夾"};
const text::Text kOpenRecord{u8"..或開啟記錄"};
const text::Text kSourcePrefix{u8" 來源資料夾："};
const text::Text kDestPrefix{u8" 目地資料夾："};
const text::Text kNext{u8"下一步"};
const text::Text kCannotSaveSettings{u8"無法儲存設定檔："};
const text::Text kCannotMarkTold{u8"無法記錄已告知上次備份的結果："};
const text::Text kClose{u8"關閉"};
const text::Text kNoBackups{u8"您尚未建立任何備份檔案"};
const text::Text kFloppy{u8"[軟碟機]("};
const text::Text kRemovable{u8"[抽取式裝置]("};
const text::Text kLocalDisk{u8"[本機硬碟]("};
const text::Text kNetwork{u8"[網路硬碟]("};
const text::Text kOptical{u8"[光碟機]("};

const QColor kWindowBlue(53, 116, 170); // colour value 11170869
const QColor kSourceText(Qt::blue);
const QColor kDestText(Qt::red);
const QColor kPanelFace(240, 240, 240);
constexpr int kWidth = 568;
constexpr int kHeight = 423;

std::string typeLabel(unsigned type, char letter) {
    switch (type) {
    case platform::kDriveRemovable:
        return letter == 'A' ? kFloppy.str() : kRemovable.str();
    case platform::kDriveFixed:
        return kLocalDisk.str();
    case platform::kDriveRemote:
        return kNetwork.str();
    case platform::kDriveCdRom:
        return kOptical.str();
    case platform::kDriveRamDisk:
        return kRemovable.str();
    default:
        return {};
    }
}

QPixmap picture(const char* name) {
    return QPixmap(QLatin1String(":/skin/") + QLatin1String(name));
}

} // namespace

// Each drive's label is read on a thread of its own: a drive that does not answer (a network
// drive out of reach) holds up neither the window nor the other drives' labels. Until its label
// is in, a drive's entry reads as that of a drive whose label cannot be read; the thread hands
// the label to the user-interface thread, which alone touches the lists. A read still waiting
// when the window goes is left to end on its own, and what it posts then finds no window.
struct TForm1::LabelReads {
    std::mutex mutex;
    TForm1* form = nullptr; // guarded by mutex; null once the window is gone
};

TForm1::TForm1(store::BackupStore store)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), store_(std::move(store)),
      labelReads_(std::make_shared<LabelReads>()) {
    labelReads_->form = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toolkit::qstr(kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/skin/icon.png")));
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kWindowBlue);
    setPalette(colours);
    buildComponents();

    DriveComboBox1->Clear();
    DriveComboBox3->Clear();
    FillDriveLists();
    // What writes cut short by a crash left behind.
    store_.RemoveStaleTemporaries();
    LoadSettings();
    if (SourceName.empty())
        BitBtn2->setEnabled(false);
    FormCreate();
    // Once the window is up, as the settings file's error is.
    QTimer::singleShot(0, this, [this] { toolkit::guarded([this] { tellFailedBackup(); }); });
}

void TForm1::tellFailedBackup() {
    std::optional<store::LastBackup> last = store::ReadLastBackup(store_);
    if (!last || last->status == 0 || last->told)
        return;
    toolkit::showMessage(backup::failedNightMessage(*last));
    // Marked only if no backup has ended since it was read (the box may have stayed open for
    // hours): a newer record is told at the next start instead.
    if (store::ReadLastBackup(store_) != last)
        return;
    last->told = true;
    if (platform::WriteResult marked = store::WriteLastBackup(store_, *last); !marked)
        toolkit::showErrorMessage(kCannotMarkTold.str() +
                                  platform::withReason(store_.LastBackupPath(), marked.reason));
}

TForm1::~TForm1() {
    std::lock_guard lock(labelReads_->mutex);
    labelReads_->form = nullptr;
}

void TForm1::setDialogs(TForm2* backup, TForm3* restore, TForm4* history) {
    form2_ = backup;
    form3_ = restore;
    form4_ = history;
}

void TForm1::buildComponents() {
    Image1 = new TImage(this, "Image1", {1, 20, 568, 409}, picture("background.jpg"));
    Image2 = new TImage(this, "Image2", {0, -1, 577, 25}, picture("title.jpg"));
    Label2 = new TLabel(this, "Label2", {536, 4, 28, 18}, kTwoIdeographicSpaces.str());
    Image3 = new TImage(this, "Image3", {544, 7, 17, 17}, picture("close.jpg"));
    Image4 = new TImage(this, "Image4", {8, 356, 561, 65}, picture("bottom.jpg"));
    Label3 = new TLabel(this, "Label3", {16, 328, 537, 17}, kStatusPrefix.str());
    Image5 = new TImage(this, "Image5", {16, 43, 537, 14}, picture("band.jpg"));
    Label4 = new TLabel(this, "Label4", {380, 14, 60, 13}, kRestoreLink.str());
    Image6 = new TImage(this, "Image6", {209, 6, 33, 29}, picture("icon.png"));
    Image7 = new TImage(this, "Image7", {520, 8, 17, 17}, picture("minimize.bmp"));
    ImageList1 = new TImageList(this, "ImageList1", QIcon(QStringLiteral(":/skin/folder16.png")));

    using Bevel = TPanel::Bevel;
    Panel1 = new TPanel(this, "Panel1", {16, 65, 145, 20}, kSourceHeading.str(), Bevel::None);
    Panel2 = new TPanel(this, "Panel2", {296, 65, 145, 20}, kDestHeading.str(), Bevel::None);
    QIcon history(QStringLiteral(":/skin/history.png"));
    BitBtn1 = new TBitBtn(this, "BitBtn1", {172, 65, 102, 21}, kOpenRecord.str(), history);
    BitBtn1->setVisible(false);
    BitBtn3 = new TBitBtn(this, "BitBtn3", {452, 65, 102, 21}, kOpenRecord.str(), history);
    DriveComboBox1 = new TDriveComboBox(this, "DriveComboBox1", {16, 88, 257, 19});
    DriveComboBox3 = new TDriveComboBox(this, "DriveComboBox3", {296, 88, 257, 19});
    DirectoryListBox1 = new TDirectoryListBox(this, "DirectoryListBox1", {16, 112, 257, 185});
    DirectoryListBox3 = new TDirectoryListBox(this, "DirectoryListBox3", {296, 112, 257, 185});
    Panel3 = new TPanel(this, "Panel3", {16, 297, 257, 26}, kSourcePrefix.str());
    Panel4 = new TPanel(this, "Panel4", {296, 297, 257, 26}, kDestPrefix.str());
    BitBtn2 = new TBitBtn(this, "BitBtn2", {425, 364, 129, 25}, kNext.str(),
                          QIcon(QStringLiteral(":/skin/next.png")));

    for (TLabel* label : {Label2, Label3, Label4}) {
        label->setAutoFillBackground(true);
        QPalette colours = label->palette();
        colours.setColor(QPalette::Window, kWindowBlue);
        colours.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(colours);
    }
    QFont link = Label4->font();
    link.setUnderline(true);
    Label4->setFont(link);
    // Sized to its text, as a label of the desktop toolkit sizes itself: in the system's Chinese
    // font the designed 13 pixels cut off the glyphs' bottoms and the underline.
    Label4->resize(Label4->sizeHint().expandedTo(Label4->size()));
    Label4->setCursor(Qt::PointingHandCursor);
    Panel1->setColors(kWindowBlue, Qt::white);
    Panel2->setColors(kWindowBlue, Qt::white);
    Panel3->setColors(kPanelFace, kSourceText);
    Panel4->setColors(kPanelFace, kDestText);
    DirectoryListBox1->setTextColor(kSourceText);
    DirectoryListBox3->setTextColor(kDestText);
    DriveComboBox1->setTextColor(kSourceText);
    DriveComboBox3->setTextColor(kDestText);
    DriveComboBox1->setDirList(DirectoryListBox1);
    DriveComboBox3->setDirList(DirectoryListBox3);

    for (TImage* image : {Image1, Image2, Image4})
        listenForDrags(image);
    auto guard = [](auto handler) { return [handler] { toolkit::guarded(handler); }; };
    connect(Image3, &TImage::Click, this, guard([this] { Image3Click(); }));
    connect(Image7, &TImage::Click, this, guard([this] { Image7Click(); }));
    connect(Label2, &TLabel::MouseEnter, this, guard([this] { Label2MouseEnter(); }));
    connect(Label4, &TLabel::MouseEnter, this, guard([this] { Label4MouseEnter(); }));
    connect(Label4, &TLabel::MouseLeave, this, guard([this] { Label4MouseLeave(); }));
    connect(Label4, &TLabel::Click, this, guard([this] { Label4Click(); }));
    connect(DirectoryListBox1, &TDirectoryListBox::Change, this,
            guard([this] { DirectoryListBox1Change(); }));
    connect(DirectoryListBox3, &TDirectoryListBox::Change, this,
            guard([this] { DirectoryListBox3Change(); }));
    connect(BitBtn2, &QPushButton::clicked, this, guard([this] { BitBtn2Click(); }));
    connect(BitBtn3, &QPushButton::clicked, this, guard([this] { BitBtn3Click(); }));
}

// The outline: the rounded body from 20 pixels down, and the raised tab on the right that
// carries the title.
void TForm1::FormCreate() {
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 20, kWidth, kHeight - 20), 12.5, 12.5);
    QPainterPath tab;
    tab.addRoundedRect(QRectF(200, 0, kWidth - 200, 50), 20, 20);
    outline = outline.united(tab);
    QBitmap mask(kWidth, kHeight);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawPath(outline);
    painter.end();
    setMask(mask);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm1::FillDriveLists() {
    uint32_t drives = platform::logicalDrives();
    for (int i = 0; i < 32; ++i) {
        if (!(drives & (1u << i)))
            continue;
        char letter = static_cast<char>('A' + i);
        std::string root = std::string(1, letter) + ":\\";
        std::string entry = root + typeLabel(platform::driveType(root), letter);
        int index = DriveComboBox1->entryCount();
        DriveComboBox1->AddEntry(entry + ")");
        DriveComboBox3->AddEntry(entry + ")");
        auto read = [reads = labelReads_, index, root, entry] {
            std::optional<std::string> label = platform::volumeLabel(root);
            if (!label || label->empty())
                return; // the entry reads so already
            threads::postToUiThread([reads, index, text = entry + *label + ")"] {
                std::lock_guard lock(reads->mutex);
                if (reads->form)
                    reads->form->labelRead(index, text);
            });
        };
        try {
            std::thread(read).detach();
        } catch (const std::system_error&) {
            read(); // no thread to be had: read here, as the lists always did
        }
    }
}

void TForm1::labelRead(int index, const std::string& entry) {
    DriveComboBox1->SetEntryText(index, entry);
    DriveComboBox3->SetEntryText(index, entry);
}

void TForm1::LoadSettings() {
    std::optional<store::SettingsValues> settings;
    try {
        settings = store_.ReadSettings();
    } catch (const ProgramError& error) {
        // The lists start at C:\ as without the file, and the user is told why once the window
        // is up: 下一步 replaces the file with the folders then chosen, never in silence.
        QTimer::singleShot(
            0, this, [message = std::string(error.what())] { toolkit::showErrorMessage(message); });
    }
    try {
        if (!settings)
            throw std::runtime_error("no settings");
        SourceDir = settings->sourceDir;
        DestDir = settings->destDir;
        DirectoryListBox1->SetDirectory(SourceDir);
        DirectoryListBox3->SetDirectory(DestDir);
    } catch (const std::exception&) {
        DirectoryListBox1->SetDirectory("C:\\");
        DirectoryListBox3->SetDirectory("C:\\");
    }
}

void TForm1::SaveSettings() {
    const store::BackupStore& store = store_;
    if (std::optional<store::FolderFailure> missing = store.CreateFolders())
        throw ProgramError(kCannotSaveSettings.str() +
                           platform::withReason(missing->path, missing->reason));
    // The dialog reads the folders back from the file: an old file would back up the old ones.
    if (platform::WriteResult saved = store.WriteSettings(SourceDir, DestDir); !saved)
        throw ProgramError(kCannotSaveSettings.str() +
                           platform::withReason(store.SettingsFilePath(), saved.reason));
    SettingsFilePath = store.SettingsFilePath();
    RecordCount = store.EnsureRecordCount();
}

void TForm1::DirectoryListBox1Change() {
    DriveComboBox1->SetDrive(DirectoryListBox1->Drive());
    int level = DirectoryListBox1->ItemIndex();
    SourceName = level >= 0 ? DirectoryListBox1->EntryText(level) : std::string();
    // A drive's root is no folder that a backup can copy: refused whatever its letter.
    if (text::isDriveRoot(DirectoryListBox1->Directory())) {
        SourceName.clear();
        SourceDir.clear();
        Panel3->setCaption(kSourcePrefix.str());
        Label3->setCaption(kStatusPrefix.str());
        BitBtn2->setEnabled(false);
        return;
    }
    SourceDir = DirectoryListBox1->Directory();
    Panel3->setCaption(kSourcePrefix.str() + SourceName);
    if (!DestDir.empty())
        Label3->setCaption(kStatusPrefix.str() + SourceDir + "  ==>  " + DestDir);
    else
        Label3->setCaption(kStatusPrefix.str() + SourceDir + "  ==>");
    BitBtn2->setEnabled(true);
}

void TForm1::DirectoryListBox3Change() {
    DriveComboBox3->SetDrive(DirectoryListBox3->Drive());
    int level = DirectoryListBox3->ItemIndex();
    DestName = level >= 0 ? DirectoryListBox3->EntryText(level) : std::string();
    DestDir = DirectoryListBox3->Directory();
    if (DestDir.size() == 3)
        DestDir.resize(2); // a root is kept as letter and colon
    Panel4->setCaption(kDestPrefix.str() + DestName);
    Label3->setCaption(kStatusPrefix.str() + SourceDir + "  ==>  " + DestDir);
    BitBtn2->setEnabled(!SourceName.empty());
}

void TForm1::BitBtn2Click() {
    SaveSettings();
    if (!form2_)
        return;
    form2_->PrepareBackup({SettingsFilePath, RecordCount});
    form2_->exec();
}

void TForm1::BitBtn3Click() {
    if (!form4_)
        return;
    form4_->FillHistory();
    form4_->exec();
}

void TForm1::Image3Click() {
    if (form2_)
        form2_->requestStop();
    if (form3_)
        form3_->requestStop();
    close();
}

void TForm1::Image7Click() {
    showMinimized();
}

void TForm1::Label2MouseEnter() {
    Label2->setToolTip(toolkit::qstr(kClose));
    Image3->setToolTip(toolkit::qstr(kClose));
}

void TForm1::Label4MouseEnter() {
    QPalette colours = Label4->palette();
    colours.setColor(QPalette::WindowText, QColor(255, 255, 0));
    Label4->setPalette(colours);
}

void TForm1::Label4MouseLeave() {
    QPalette colours = Label4->palette();
    colours.setColor(QPalette::WindowText, QColor(255, 255, 255));
    Label4->setPalette(colours);
}

void TForm1::Label4Click() {
    std::optional<std::vector<std::string>> catalog = store_.ReadCatalog();
    if (!catalog) {
        toolkit::showMessage(kNoBackups.str());
        return;
    }
    if (!form3_)
        return;
    form3_->fillBackupList(*catalog);
    form3_->exec();
}

// Dragging: any button down on the bare form or on the background pictures starts it, and the
// window then follows the pointer from the first pixel of movement.
void TForm1::listenForDrags(TImage* image) {
    connect(image, &TImage::MouseDown, this, [this](QMouseEvent* event) { dragDown(event); });
    connect(image, &TImage::MouseMove, this,
            [this, image](QMouseEvent* event) { dragMove(image, event); });
    connect(image, &TImage::MouseUp, this, [this](QMouseEvent*) { dragUp(); });
}

void TForm1::dragDown(QMouseEvent* event) {
    QPoint at = event->position().toPoint();
    DragStartX = at.x();
    DragStartY = at.y();
    Dragging = true;
}

void TForm1::dragMove(QWidget* control, QMouseEvent* event) {
    if (!Dragging)
        return;
    // The pointer within the control, measured from where the window stands now.
    QPoint controlOrigin = geometry().topLeft() + control->mapTo(this, QPoint(0, 0));
    QPoint at = event->globalPosition().toPoint() - controlOrigin;
    move(x() + (at.x() - DragStartX), y() + (at.y() - DragStartY));
}

void TForm1::dragUp() {
    DragStartX = 0;
    DragStartY = 0;
    Dragging = false;
}

void TForm1::mousePressEvent(QMouseEvent* event) {
    dragDown(event);
}

void TForm1::mouseMoveEvent(QMouseEvent* event) {
    dragMove(this, event);
}

void TForm1::mouseReleaseEvent(QMouseEvent*) {
    dragUp();
}
