#include "tform3.h"

#include "restorechoice.h"

#include "platform/folders.h"
#include "platform/hosterror.h"
#include "store/backupstore.h"
#include "text/big5.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "toolkit/messagebox.h"
#include "toolkit/qtext.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/listview.h"
#include "widgets/memo.h"
#include "widgets/panel.h"
#include "widgets/progressbar.h"

#include <QProgressBar>
#include <QShowEvent>

namespace {

const text::Text kCaption{u8"檔案還原"};
const text::Text kBackupNameColumn{u8"備份名稱（滑鼠按一下）"};
const text::Text kPointColumn{u8"還原點"};
const text::Text kPathColumn{u8"完整路徑"};
const text::Text kFolderColumn{u8"資料夾名稱（滑鼠按一下）"};
const text::Text kFileColumn{u8"檔案名稱"};
const text::Text kDirHeading{u8"還原目錄（雙按滑鼠二下）"};
const text::Text kBackupFolderPrefix{u8" 原備份資料夾："};
const text::Text kTargetPrefix{u8" 欲還原資料夾："};
const text::Text kStatusPrefix{u8" 檔案還原狀況："};
const text::Text kSizePrefix{u8" 檔案大小："};
const text::Text kStart{u8"啟動還原檔案"};
const text::Text kChooseBackupName{u8"請點選 備份名稱 欄位!!"};
const text::Text kListFaultyBefore{u8"檔案清單"};
const text::Text kListFaultyAfter{u8"有誤"};
const text::Text kPointNotCompletedBefore{u8"還原點"};
const text::Text kPointNotCompletedAfter{
    u8"尚未完成（記錄時中斷了）；同一天再備份一次到同一個目地資料夾，就會補齊"};
const text::Text kChooseFolderRow{u8"請點選有 〔資料夾名稱〕 的欄位!!"};
const text::Text kBackupFolderGone{u8"原備份資料夾已不存在了!!"};
const text::Text kNothingToRestore{u8"目前沒有備份檔案可供還原"};
const text::Text kChooseBoth{u8"您必須點選　〔備份名稱〕　及　〔資料夾名稱〕"};
const text::Text kChooseFolderName{u8"您必須點選〔資料夾名稱〕"};
const text::Text kRestored{u8" 檔案已還原完成"};
const text::Text kDoneCaption{u8"還原完成"};
const text::Text kCannotReadBackup{u8"無法讀取原備份資料夾："};
const text::Text kDoneText{u8"您所指定的檔案已還原完成!!"};
const text::Text kFailuresBefore{u8"但有 "};
const text::Text kFailuresAfter{u8" 個檔案無法還原："};
const text::Text kFolderFailuresBefore{u8"另有 "};
const text::Text kFolderFailuresAfter{u8" 個資料夾無法完整還原："};
const text::Text kDifferingAfter{u8" 個檔案已存在但與備份中的不同，未覆蓋："};
const text::Text kCannotMakeTarget{u8"無法建立欲還原資料夾："};

const QColor kListColour(64, 0, 64); // colour value 4194368
const QColor kWindowBlue(53, 116, 170);

TPanel* messagePanel(QWidget* parent, const char* name, QRect geometry, const std::string& caption,
                     Qt::Alignment alignment = Qt::AlignLeft) {
    auto* panel = new TPanel(parent, name, geometry, caption, TPanel::Bevel::Lowered, alignment);
    panel->setColors(kWindowBlue, Qt::white);
    return panel;
}

std::string listFaulty(const std::string& point) {
    return kListFaultyBefore.str() + point + kListFaultyAfter.str();
}

// Why a restore point's file gave no folders. A file that was never written is a recording cut
// short (a full disk, say), which the next backup of that destination and day completes; one
// that is there but cannot be read is faulty.
std::string pointFileFault(const store::BackupStore& store, const std::string& point) {
    bool number = !point.empty() && point.find_first_not_of("0123456789") == std::string::npos;
    if (number && platform::nothingAt(store.RecoverFolder() + "\\" + point + ".ini"))
        return kPointNotCompletedBefore.str() + point + kPointNotCompletedAfter.str();
    return listFaulty(point);
}

} // namespace

TForm3::TForm3(QWidget* owner, store::BackupStore store)
    : QDialog(owner), store_(std::move(store)), job_(*this) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(toolkit::qstr(kCaption));
    setFixedSize(533, 415);
    QIcon folder(QStringLiteral(":/skin/folder16.png"));
    ListView1 = new TListView(
        this, "ListView1", {8, 8, 513, 129},
        {{kBackupNameColumn.str(), 170}, {kPointColumn.str(), 60}, {kPathColumn.str(), 350}});
    ListView1->setColors(kListColour, Qt::white);
    ListView1->setRowIcon(folder);
    ListView2 = new TListView(this, "ListView2", {8, 136, 177, 153},
                              {{kFolderColumn.str(), 180}, {kFileColumn.str(), 250}});
    ListView2->setColors(kListColour, Qt::white);
    ListView2->setRowIcon(folder);
    for (TListView* list : {ListView1, ListView2}) {
        QFont font = list->font();
        font.setPixelSize(12);
        list->setFont(font);
    }
    Panel7 = new TPanel(this, "Panel7", {184, 136, 201, 19}, kDirHeading.str());
    DirectoryListBox1 = new TDirectoryListBox(this, "DirectoryListBox1", {184, 153, 201, 136});
    DirectoryListBox1->setTextColor(Qt::green);
    QPalette listColours = DirectoryListBox1->palette();
    listColours.setColor(QPalette::Base, kListColour);
    DirectoryListBox1->setPalette(listColours);
    Memo1 = new TMemo(this, "Memo1", {384, 136, 137, 152});
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoColours = Memo1->palette();
    memoColours.setColor(QPalette::Base, kWindowBlue);
    memoColours.setColor(QPalette::Text, Qt::white);
    Memo1->setPalette(memoColours);
    Panel1 = messagePanel(this, "Panel1", {8, 288, 497, 25}, kBackupFolderPrefix.str());
    Panel2 = messagePanel(this, "Panel2", {8, 312, 497, 25}, kTargetPrefix.str());
    Panel3 = messagePanel(this, "Panel3", {8, 336, 497, 25}, kStatusPrefix.str());
    ProgressBar1 = progressBar(this, "ProgressBar1", {8, 361, 497, 17}, 100);
    Panel4 = messagePanel(this, "Panel4", {8, 379, 217, 25}, kSizePrefix.str());
    Panel5 = messagePanel(this, "Panel5", {224, 379, 57, 25}, {}, Qt::AlignHCenter);
    Panel6 = messagePanel(this, "Panel6", {280, 379, 57, 25}, {}, Qt::AlignHCenter);
    BitBtn1 = new TBitBtn(this, "BitBtn1", {369, 380, 137, 25}, kStart.str(),
                          QIcon(QStringLiteral(":/skin/restore.png")));

    auto guard = [](auto handler) { return [handler] { toolkit::guarded(handler); }; };
    connect(ListView1, &TListView::Click, this, guard([this] { ListView1Click(); }));
    connect(ListView2, &TListView::Click, this, guard([this] { ListView2Click(); }));
    connect(DirectoryListBox1, &TDirectoryListBox::Change, this, guard([this] {
                if (!settingFolder_)
                    DirectoryListBox1Change();
            }));
    connect(DirectoryListBox1, &TDirectoryListBox::Click, this,
            guard([this] { DirectoryListBox1Click(); }));
    connect(BitBtn1, &QPushButton::clicked, this, guard([this] { BitBtn1Click(); }));
    WorkerThread = std::make_unique<TRecoverThread>([this] { WalkTree(); },
                                                    [this](bool count) { job_.runPass(count); });
}

TForm3::~TForm3() {
    requestStop();               // a running walk stops at its next entry
    WorkerThread->stopAndJoin(); // before the thread object is taken apart under it
}

void TForm3::fillBackupList(const std::vector<std::string>& catalogLines) {
    for (auto line = catalogLines.rbegin(); line != catalogLines.rend(); ++line) {
        store::BackupRecord record = store::BackupStore::ParseRecord(*line);
        ListView1->AddRow(record.backupName, {record.pointNumber, record.destPrefix});
    }
}

void TForm3::ListView1Click() {
    if (ListView1->SelectedRow() < 0) {
        toolkit::showMessage(kChooseBackupName.str());
        return;
    }
    ShowBackupContents();
}

void TForm3::ShowBackupContents() {
    int row = ListView1->SelectedRow();
    SelectedName = ListView1->Caption(row);
    SelectedPoint = ListView1->SubItem(row, 0);
    SelectedDest = ListView1->SubItem(row, 1);
    ListView2->Clear(); // a file that cannot be read leaves no folder of another backup listed
    std::optional<std::vector<store::PointEntry>> entries =
        store_.ReadPointFile(SelectedPoint, SelectedName);
    if (!entries) {
        toolkit::showMessage(pointFileFault(store_, SelectedPoint));
        return;
    }
    for (const store::PointEntry& entry : *entries)
        ListView2->AddRow(entry.sourceName, {entry.listFileName});
}

void TForm3::ListView2Click() {
    int row = ListView2->SelectedRow();
    if (row < 0) {
        toolkit::showMessage(kChooseFolderRow.str());
        return;
    }
    CopyRoot = SelectedDest + SelectedName + "\\" + ListView2->Caption(row);
    try {
        setFolderQuietly(CopyRoot);
    } catch (const std::exception&) {
        toolkit::showMessage(kBackupFolderGone.str());
        return; // nothing to count: the button stays as it was
    }
    // The chosen folder's own entry, whatever row was clicked in the list before.
    BaseIndex = DirectoryListBox1->CurrentLevel();
    SavedIndex = BaseIndex;
    DirectoryListBox1->SetItemIndex(BaseIndex);
    DirectoryListBox1Change();
}

void TForm3::setFolderQuietly(const std::string& folder) {
    settingFolder_ = true;
    try {
        DirectoryListBox1->SetDirectory(folder);
    } catch (...) {
        settingFolder_ = false;
        throw;
    }
    settingFolder_ = false;
}

void TForm3::DirectoryListBox1Change() {
    int folderRow = ListView2->SelectedRow();
    if (folderRow < 0) {
        // No folder chosen: refused as a click is, and back to the last chosen folder.
        if (!CopyRoot.empty())
            setFolderQuietly(CopyRoot);
        DirectoryListBox1Click();
        return;
    }
    if (DirectoryListBox1->CurrentLevel() < BaseIndex) {
        // Above the chosen folder: back to it, and it is the choice again.
        setFolderQuietly(CopyRoot);
    }
    chooseCurrentFolder(folderRow);
}

void TForm3::chooseCurrentFolder(int folderRow) {
    restoreSource_ = DirectoryListBox1->Directory();
    Panel1->setCaption(kBackupFolderPrefix.str() + restoreSource_);

    std::optional<restore::RestoreJobInput> input;
    try {
        input = restore::restoreInput(store_,
                                      {CopyRoot, restoreSource_, ListView2->SubItem(folderRow, 0)});
    } catch (const ProgramError& error) {
        // Nowhere to restore to, as for a missing list, and the user is told why.
        toolkit::showErrorMessage(error.what());
        input = restore::RestoreJobInput{restoreSource_, {}, {}};
    }
    if (!input)
        toolkit::showMessage(listFaulty(SelectedPoint));
    restoreTarget_ = input ? input->restoreTarget : std::string();
    TargetParent = std::string(text::big5::beforeLastBackslash(restoreTarget_));
    Panel2->setCaption(kTargetPrefix.str() + TargetParent);

    ProgressBar1->setValue(0);
    Panel5->setCaption({});
    Panel6->setCaption({});
    // Without the folder it came from there is nowhere to restore to.
    BitBtn1->setEnabled(!restoreTarget_.empty());
    job_.setInput(input.value_or(restore::RestoreJobInput{restoreSource_, {}, {}}));
    job_.newGeneration(); // one complete count for the final choice, with these values
    WorkerThread->forget();
    copyAsked_ = false;
    requestPass(walk::PassRequests::kCount);
}

void TForm3::DirectoryListBox1Click() {
    if (ListView1->RowCount() == 0 && ListView2->RowCount() == 0) {
        toolkit::showMessage(kNothingToRestore.str());
    } else if (ListView2->RowCount() == 0) {
        toolkit::showMessage(kChooseBoth.str());
    } else if (ListView2->SelectedRow() < 0) {
        DirectoryListBox1->SetItemIndex(SavedIndex);
        toolkit::showMessage(kChooseFolderName.str());
    } else if (DirectoryListBox1->ItemIndex() < BaseIndex) {
        bool elsewhere = DirectoryListBox1->Directory() != CopyRoot;
        setFolderQuietly(CopyRoot);
        DirectoryListBox1->SetItemIndex(DirectoryListBox1->CurrentLevel());
        if (elsewhere) // the chosen folder becomes the choice again
            chooseCurrentFolder(ListView2->SelectedRow());
    }
}

void TForm3::BitBtn1Click() {
    ProgressBar1->setValue(0);
    Memo1->clear();
    if (restoreTarget_.empty() || copyAsked_)
        return;
    copyAsked_ = true;
    requestPass(walk::PassRequests::kCopy);
}

void TForm3::requestPass(walk::PassRequests::Pass pass) {
    WorkerThread->request(pass);
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) // not when it comes back from being minimised
        toolkit::guarded([this] { FormShow(); });
}

void TForm3::FormShow() {
    BitBtn1->setEnabled(false);
}

void TForm3::done(int result) {
    toolkit::guarded([this] { FormClose(); });
    QDialog::done(result);
}

void TForm3::FormClose() {
    // A running copy stops at its next entry and shows nothing more.
    WorkerThread->forget();
    job_.setInput({});
    job_.newGeneration(); // a pass that begins from now on finds the emptied values
    copyAsked_ = false;
    restoreTarget_.clear();
    restoreSource_.clear();
    Panel3->setCaption(kStatusPrefix.str());
    ProgressBar1->setValue(0);
    ListView1->Clear();
    ListView2->Clear();
}

void TForm3::requestStop() {
    WorkerThread->terminate();
    job_.newGeneration();
}

void TForm3::WalkTree() {
    WorkerThread->walk();
}

void TForm3::showProgress(const restore::RestoreProgress& progress) {
    Panel4->setCaption(progress.sizeText);
    showFileProgress(ProgressBar1, progress.fileTotal, progress.position);
    if (progress.position) {
        Panel5->setCaption(std::to_string(progress.fileTotal));
        Panel6->setCaption(std::to_string(*progress.position));
    }
    if (progress.status)
        Panel3->setCaption(*progress.status);
    for (const std::string& name : progress.restoredNames)
        Memo1->appendLine(name);
}

void TForm3::restoreImpossible(const std::string& restoreSource) {
    copyAsked_ = false;
    toolkit::showMessage(kCannotReadBackup.str() + restoreSource);
}

void TForm3::restoreTargetImpossible(const std::string& path, const std::string& reason) {
    copyAsked_ = false;
    toolkit::showMessage(kCannotMakeTarget.str() + platform::withReason(path, reason));
}

void TForm3::restoreCompleted(const restore::RestoreReport& report) {
    restoreTarget_.clear();
    restoreSource_.clear();
    job_.setInput({});
    Panel3->setCaption(kRestored.str());
    copyAsked_ = false;
    BitBtn1->setEnabled(false);
    walk::FailureWords words{kDoneText.str(),
                             kFailuresBefore.str(),
                             kFailuresAfter.str(),
                             kFolderFailuresBefore.str(),
                             kFolderFailuresAfter.str(),
                             kFolderFailuresBefore.str(),
                             kDifferingAfter.str()};
    toolkit::showSystemMessage(kDoneCaption.str(), report.failures.describe(words),
                               report.failures.describeOnHost(words));
}
