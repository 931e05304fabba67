#include "tform2.h"

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/messagebox.h"
#include "store/backupstore.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/panel.h"

#include <QIcon>
#include <QProgressBar>
#include <QTimer>

namespace {

const platform::Text kCaption{u8"備份內容"};
const platform::Text kSourcePrefix{u8" 備份來源資料夾："};
const platform::Text kDestPrefix{u8" 備份目地資料夾："};
const platform::Text kDatePrefix{u8" 備份日期："};
const platform::Text kNamePrefix{u8" 備份名稱："};
const platform::Text kSizePrefix{u8" 檔案大小："};
const platform::Text kStatusPrefix{u8" 備份內容："};
const platform::Text kProgressLabel{u8" 備份進度表："};
const platform::Text kRestorePointLabel{u8" 建立還原點："};
const platform::Text kStart{u8"開始備份"};
const platform::Text kSettingsRemoved{u8"BackPath.ini檔案已被移除!!"};

const QColor kHeadingBlue(5, 63, 133);

QProgressBar* progressBar(QWidget* parent, const char* name, QRect geometry, int maximum) {
    auto* bar = new QProgressBar(parent);
    placeComponent(bar, name, geometry);
    bar->setRange(0, maximum);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

} // namespace

TForm2::TForm2(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(kCaption.qstr());
    setFixedSize(482, 313);
    using Bevel = TPanel::Bevel;
    Panel1 = new TPanel(this, "Panel1", {16, 16, 449, 25}, kSourcePrefix.str(), Bevel::None);
    Panel1->setColors(kHeadingBlue, Qt::white);
    Panel2 = new TPanel(this, "Panel2", {16, 48, 449, 25}, kDestPrefix.str(), Bevel::None);
    Panel2->setColors(kHeadingBlue, Qt::white);
    Panel3 = new TPanel(this, "Panel3", {16, 88, 225, 25}, kDatePrefix.str());
    Panel4 = new TPanel(this, "Panel4", {16, 120, 225, 25}, kNamePrefix.str());
    Panel5 = new TPanel(this, "Panel5", {16, 152, 225, 25}, kSizePrefix.str());
    Panel6 = new TPanel(this, "Panel6", {16, 184, 449, 25}, kStatusPrefix.str());
    DirectoryListBox1 = new TDirectoryListBox(this, "DirectoryListBox1", {248, 87, 217, 90});
    Panel7 = new TPanel(this, "Panel7", {16, 216, 89, 17}, kProgressLabel.str());
    ProgressBar1 = progressBar(this, "ProgressBar1", {104, 216, 361, 17}, 100);
    Panel8 = new TPanel(this, "Panel8", {16, 240, 89, 17}, kRestorePointLabel.str());
    ProgressBar2 = progressBar(this, "ProgressBar2", {104, 240, 361, 17}, 40);
    BitBtn1 = new TBitBtn(this, "BitBtn1", {368, 272, 97, 25}, kStart.str(),
                          QIcon(QStringLiteral(":/skin/backup.png")));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
}

TForm2::~TForm2() = default;

void TForm2::PrepareBackup(const MainWindowChoice& choice) {
    choice_ = choice;
    std::optional<SettingsValues> settings;
    if (std::optional<BackupStore> store =
            BackupStore::FromSettingsFilePath(choice.settingsFilePath))
        settings = store->ReadSettings();
    if (!settings) {
        platform::showMessage(kSettingsRemoved.str());
        settings = SettingsValues{};
    }
    sourceDir_ = settings->sourceDir;
    destDir_ = settings->destDir;
    Panel1->setCaption(kSourcePrefix.str() + sourceDir_);
    Panel2->setCaption(kDestPrefix.str() + destDir_);
    std::string today = platform::shortDateToday();
    Panel3->setCaption(kDatePrefix.str() + today);
    backupName_ = FormBackupName(today);
    Panel4->setCaption(kNamePrefix.str() + backupName_);
    DirectoryListBox1->SetDirectory(sourceDir_);
    int level = DirectoryListBox1->ItemIndex();
    SourceName = level >= 0 ? DirectoryListBox1->EntryText(level) : std::string();
}

void TForm2::RequestStop() {}
