#include "tform3.h"

#include "platform/codepage.h"
#include "store/backupstore.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/listview.h"
#include "widgets/panel.h"

#include <QPlainTextEdit>
#include <QProgressBar>

namespace {

const platform::Text kCaption{u8"檔案還原"};
const platform::Text kBackupNameColumn{u8"備份名稱（滑鼠按一下）"};
const platform::Text kPointColumn{u8"還原點"};
const platform::Text kPathColumn{u8"完整路徑"};
const platform::Text kFolderColumn{u8"資料夾名稱（滑鼠按一下）"};
const platform::Text kFileColumn{u8"檔案名稱"};
const platform::Text kDirHeading{u8"還原目錄（雙按滑鼠二下）"};
const platform::Text kBackupFolderPrefix{u8" 原備份資料夾："};
const platform::Text kTargetPrefix{u8" 欲還原資料夾："};
const platform::Text kStatusPrefix{u8" 檔案還原狀況："};
const platform::Text kSizePrefix{u8" 檔案大小："};
const platform::Text kStart{u8"啟動還原檔案"};

const QColor kListColour(64, 0, 64); // colour value 4194368
const QColor kWindowBlue(53, 116, 170);

TPanel* messagePanel(QWidget* parent, const char* name, QRect geometry, const std::string& caption,
                     Qt::Alignment alignment = Qt::AlignLeft) {
    auto* panel = new TPanel(parent, name, geometry, caption, TPanel::Bevel::Lowered, alignment);
    panel->setColors(kWindowBlue, Qt::white);
    return panel;
}

} // namespace

TForm3::TForm3(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(kCaption.qstr());
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
    Panel7 = new TPanel(this, "Panel7", {184, 136, 201, 19}, kDirHeading.str());
    DirectoryListBox1 = new TDirectoryListBox(this, "DirectoryListBox1", {184, 153, 201, 136});
    DirectoryListBox1->setTextColor(Qt::green);
    QPalette listColours = DirectoryListBox1->palette();
    listColours.setColor(QPalette::Base, kListColour);
    DirectoryListBox1->setPalette(listColours);
    Memo1 = new QPlainTextEdit(this);
    placeComponent(Memo1, "Memo1", {384, 136, 137, 152});
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoColours = Memo1->palette();
    memoColours.setColor(QPalette::Base, kWindowBlue);
    memoColours.setColor(QPalette::Text, Qt::white);
    Memo1->setPalette(memoColours);
    Panel1 = messagePanel(this, "Panel1", {8, 288, 497, 25}, kBackupFolderPrefix.str());
    Panel2 = messagePanel(this, "Panel2", {8, 312, 497, 25}, kTargetPrefix.str());
    Panel3 = messagePanel(this, "Panel3", {8, 336, 497, 25}, kStatusPrefix.str());
    ProgressBar1 = new QProgressBar(this);
    placeComponent(ProgressBar1, "ProgressBar1", {8, 361, 497, 17});
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Panel4 = messagePanel(this, "Panel4", {8, 379, 217, 25}, kSizePrefix.str());
    Panel5 = messagePanel(this, "Panel5", {224, 379, 57, 25}, {}, Qt::AlignHCenter);
    Panel6 = messagePanel(this, "Panel6", {280, 379, 57, 25}, {}, Qt::AlignHCenter);
    BitBtn1 = new TBitBtn(this, "BitBtn1", {369, 380, 137, 25}, kStart.str(),
                          QIcon(QStringLiteral(":/skin/restore.png")));
}

TForm3::~TForm3() = default;

void TForm3::FillBackupList(const std::vector<std::string>& catalogLines) {
    for (auto line = catalogLines.rbegin(); line != catalogLines.rend(); ++line) {
        BackupRecord record = BackupStore::ParseRecord(*line);
        ListView1->AddRow(record.backupName, {record.pointNumber, record.destPrefix});
    }
}

void TForm3::RequestStop() {}

void TForm3::FormClose() {
    ListView1->Clear();
    ListView2->Clear();
}

void TForm3::done(int result) {
    FormClose();
    QDialog::done(result);
}
