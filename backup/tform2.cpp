#include "tform2.h"

#include "backupinput.h"
#include "backupmessages.h"
#include "tcopythread.h"

#include "platform/clock.h"
#include "platform/hosterror.h"
#include "store/backupstore.h"
#include "text/codepage.h"
#include "toolkit/messagebox.h"
#include "toolkit/qtext.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/panel.h"
#include "widgets/progressbar.h"

#include <QIcon>
#include <QProgressBar>
#include <QShowEvent>
#include <QTimer>

namespace {

const text::Text kCaption{u8"備份內容"};
const text::Text kSourcePrefix{u8" 備份來源資料夾："};
const text::Text kDestPrefix{u8" 備份目地資料夾："};
const text::Text kDatePrefix{u8" 備份日期："};
const text::Text kNamePrefix{u8" 備份名稱："};
const text::Text kSizePrefix{u8" 檔案大小："};
const text::Text kStatusPrefix{u8" 備份內容："};
const text::Text kProgressLabel{u8" 備份進度表："};
const text::Text kRestorePointLabel{u8" 建立還原點："};
const text::Text kStart{u8"開始備份"};
const text::Text kSettingsRemoved{u8"BackPath.ini檔案已被移除!!"};
const text::Text kMakingRestorePoint{u8" 備份內容：請稍後......正在建立檔案還原點......"};
const text::Text kBackedUp{u8" 檔案已備份完成"};
const text::Text kDoneCaption{u8"備份完成"};
const text::Text kDoneText{u8"您所指定的檔案已備份完成!!"};
const text::Text kFailuresBefore{u8"但有 "};
const text::Text kFailuresAfter{u8" 個檔案無法備份："};
const text::Text kFolderFailuresBefore{u8"另有 "};
const text::Text kFolderFailuresAfter{u8" 個資料夾無法完整備份："};
const text::Text kDifferingAfter{u8" 個檔案已存在但與來源不同，未覆蓋："};
const text::Text kCopiedBefore{u8"已複製 "};
const text::Text kCopiedAfter{u8" 個檔案，"};
const text::Text kNotRecordedCaption{u8"還原點未建立"};

const QColor kHeadingBlue(5, 63, 133);
constexpr int kIdleTicks = 4;
constexpr int kAnimationSteps = 40;

} // namespace

TForm2::TForm2(QWidget* owner) : QDialog(owner), job_(*this) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(toolkit::qstr(kCaption));
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
    ProgressBar2 = progressBar(this, "ProgressBar2", {104, 240, 361, 17}, kAnimationSteps);
    BitBtn1 = new TBitBtn(this, "BitBtn1", {368, 272, 97, 25}, kStart.str(),
                          QIcon(QStringLiteral(":/skin/backup.png")));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { toolkit::guarded([this] { BitBtn1Click(); }); });
    connect(Timer1, &QTimer::timeout, this,
            [this] { toolkit::guarded([this] { Timer1Timer(); }); });
    WorkerThread = std::make_unique<TCopyThread>([this] { WalkTree(); },
                                                 [this](bool count) { job_.runPass(count); });
}

TForm2::~TForm2() {
    requestStop();               // a running walk stops at its next entry
    WorkerThread->stopAndJoin(); // before the thread object is taken apart under it
}

void TForm2::PrepareBackup(const MainWindowChoice& choice) {
    // The store the settings file is in is the one the job records its restore point in.
    std::optional<store::BackupStore> store =
        store::BackupStore::FromSettingsFilePath(choice.settingsFilePath);
    std::optional<store::SettingsValues> settings;
    if (store)
        settings = store->ReadSettings();
    if (!settings) {
        toolkit::showMessage(kSettingsRemoved.str());
        settings = store::SettingsValues{};
    }
    Panel1->setCaption(kSourcePrefix.str() + settings->sourceDir);
    Panel2->setCaption(kDestPrefix.str() + settings->destDir);
    std::string today = platform::shortDateToday();
    backup::BackupJobInput input = backup::backupInput(*settings, store, choice.recordCount, today);
    Panel3->setCaption(kDatePrefix.str() + today);
    Panel4->setCaption(kNamePrefix.str() + input.backupName);
    DirectoryListBox1->SetDirectory(settings->sourceDir);
    SourceName = input.sourceName;
    job_.setInput(input);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) // not when it comes back from being minimised
        toolkit::guarded([this] { FormShow(); });
}

void TForm2::FormShow() {
    job_.newGeneration(); // whatever an older walk still reports belongs to no showing
    copyAsked_ = false;
    BitBtn1->setEnabled(true);
    requestPass(walk::PassRequests::kCount);
}

void TForm2::BitBtn1Click() {
    ProgressBar1->setValue(0);
    if (copyAsked_)
        return; // the copy runs or starts when the count is done; the bar just starts again
    copyAsked_ = true;
    requestPass(walk::PassRequests::kCopy);
}

void TForm2::requestPass(walk::PassRequests::Pass pass) {
    WorkerThread->request(pass);
}

void TForm2::done(int result) {
    toolkit::guarded([this] { FormClose(); });
    QDialog::done(result);
}

void TForm2::FormClose() {
    // A backup that is already recorded tells so now, not in the middle of the next one.
    if (Timer1->isActive())
        finishAnimation();
    // A running pass stops at its next entry and records nothing; the values it started with
    // stay its own, so emptying these cannot send a file elsewhere.
    WorkerThread->forget();
    job_.setInput({});
    job_.newGeneration(); // a pass that begins from now on finds the emptied values
    SourceName.clear();
    copyAsked_ = false;
    Panel6->setCaption(kStatusPrefix.str());
    ProgressBar1->setValue(0);
    ProgressBar2->setValue(0);
}

void TForm2::requestStop() {
    WorkerThread->terminate();
    job_.newGeneration();
}

void TForm2::WalkTree() {
    WorkerThread->walk();
}

void TForm2::showProgress(const backup::BackupProgress& progress) {
    Panel5->setCaption(progress.sizeText);
    showFileProgress(ProgressBar1, progress.fileTotal, progress.position);
    if (progress.status)
        Panel6->setCaption(*progress.status);
}

void TForm2::completionStarted() {
    BitBtn1->setEnabled(false);
}

void TForm2::completionDone(const backup::CopyReport& report, bool current) {
    if (Timer1->isActive())
        finishAnimation(); // never two at once
    if (!current) {
        // Closed while the restore point was being recorded: told at once, and nothing of the
        // showing that may have begun since is touched.
        showCompletion(report);
        return;
    }
    report_ = report;
    animationGeneration_ = job_.generation();
    if (report.storeFailure) { // no restore point to animate: said at once
        finishAnimation();
        return;
    }
    AnimTicks = 0;
    Timer1->start();
}

void TForm2::copyImpossible(const std::string& sourceDir) {
    copyAsked_ = false;
    toolkit::showMessage(backup::cannotReadSourceMessage(sourceDir));
}

void TForm2::backupFolderImpossible(const std::string& path, const std::string& reason) {
    copyAsked_ = false;
    toolkit::showMessage(backup::cannotMakeBackupFolderMessage(path, reason));
}

void TForm2::Timer1Timer() {
    if (++AnimTicks <= kIdleTicks)
        return;
    Panel6->setTextColor(QColor(255, 0, 0));
    Panel6->setCaption(kMakingRestorePoint.str());
    ProgressBar2->setValue(ProgressBar2->value() + 1);
    if (ProgressBar2->value() >= kAnimationSteps)
        finishAnimation();
}

void TForm2::finishAnimation() {
    Timer1->stop();
    AnimTicks = 0;
    Panel6->setCaption(kBackedUp.str());
    Panel6->setTextColor(QColor(0, 0, 255));
    showCompletion(report_);
    // The job is over; a showing that has begun since keeps its own values.
    if (animationGeneration_ == job_.generation()) {
        SourceName.clear();
        job_.setInput({});
    }
    report_ = backup::CopyReport{};
}

std::string TForm2::captionFor(const backup::CopyReport& report) const {
    return report.storeFailure ? kNotRecordedCaption.str() : kDoneCaption.str();
}

void TForm2::showCompletion(const backup::CopyReport& report) const {
    toolkit::showSystemMessage(captionFor(report), completionMessage(report, false),
                               completionMessage(report, true));
}

std::string TForm2::completionMessage(const backup::CopyReport& report, bool onHost) const {
    std::string done = kDoneText.str();
    if (const std::optional<backup::StoreFailure>& failure = report.storeFailure) {
        done = backup::notRecordedMessage(*failure);
    }
    if (report.filesLinked > 0) // a day like the last: most of it cost nothing
        done.append("\n\n")
            .append(kCopiedBefore.str())
            .append(std::to_string(report.filesCopied()))
            .append(kCopiedAfter.str())
            .append(backup::linkedText(report.filesLinked));
    walk::FailureWords words{done,
                             kFailuresBefore.str(),
                             kFailuresAfter.str(),
                             kFolderFailuresBefore.str(),
                             kFolderFailuresAfter.str(),
                             kFolderFailuresBefore.str(),
                             kDifferingAfter.str()};
    return onHost ? report.failures.describeOnHost(words) : report.failures.describe(words);
}
