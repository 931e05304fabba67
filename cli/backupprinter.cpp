#include "backupprinter.h"

#include "backup/backupmessages.h"
#include "platform/hosterror.h"
#include "text/codepage.h"
#include "walk/sizetext.h"

#include <cstdio>

namespace cli {
namespace {

const text::Text kCounting{u8"正在計算檔案："};
const text::Text kFilesUnit{u8" 個檔案"};
const text::Text kCounted{u8"共有 "};
const text::Text kCopied{u8"已複製 "};
const text::Text kComma{u8"，"};
const text::Text kPerSecond{u8" MB/秒"};
const text::Text kRecording{u8"正在建立還原點……"};
const text::Text kSummaryCopied{u8"已複製 "};
const text::Text kSummaryPresent{u8"已存在 "};
const text::Text kSummaryDiffering{u8"已存在但與來源不同，未覆蓋 "};
const text::Text kSummaryFailed{u8"失敗 "};
const text::Text kFilesCount{u8" 個"};
const text::Text kFilesFailedBefore{u8"有 "};
const text::Text kFilesFailedAfter{u8" 個檔案無法備份："};
const text::Text kFoldersFailedAfter{u8" 個資料夾無法完整備份："};
const text::Text kDifferingAfter{u8" 個檔案已存在但與來源不同，未覆蓋："};
const text::Text kBackupFolder{u8"備份資料夾："};
const text::Text kRestorePoint{u8"還原點："};
const text::Text kOpenParen{u8"（"};
const text::Text kCloseParen{u8"）"};

} // namespace

void writeFailures(Console& console, const std::string& after,
                   const std::vector<walk::CopyFailure>& items) {
    if (items.empty())
        return;
    std::string text = kFilesFailedBefore.str() + std::to_string(items.size()) + after + "\n";
    for (const walk::CopyFailure& item : items) {
        text += platform::withReason(item.path, item.reason);
        if (!item.hostText.empty()) {
            console.write(text + " ");
            console.writeHostText("[" + item.hostText + "]");
            text.clear();
        }
        text += "\n";
    }
    console.write(text);
}

BackupPrinter::BackupPrinter(Console& console, bool quiet)
    : console_(console), quiet_(quiet), line_(console) {}

void BackupPrinter::counted(int64_t files, uint64_t bytes) {
    fileTotal_ = files;
    byteTotal_ = bytes;
    copyStarted_ = Clock::now();
    lastShown_ = copyStarted_;
    line_.end();
    if (!quiet_)
        console_.write(kCounted.str() + std::to_string(files) + kFilesUnit.str() + kComma.str() +
                       walk::megabytesText(bytes) + " MB\n");
}

void BackupPrinter::showProgress(const backup::BackupProgress& progress) {
    if (quiet_)
        return;
    Clock::time_point now = Clock::now();
    if (now - lastShown_ < line_.interval())
        return;
    lastShown_ = now;
    if (!progress.position) { // counting
        if (line_.onTerminal())
            line_.show(kCounting.str() + std::to_string(progress.fileTotal) + kFilesUnit.str());
        return;
    }
    double seconds = std::chrono::duration<double>(now - copyStarted_).count();
    line_.show(kCopied.str() + std::to_string(*progress.position) + "/" +
               std::to_string(fileTotal_) + kFilesUnit.str() + kComma.str() +
               walk::megabytesText(progress.bytesCopied) + "/" + walk::megabytesText(byteTotal_) +
               " MB" + kComma.str() + rateText(progress.bytesCopied, seconds) + kPerSecond.str());
}

void BackupPrinter::completionStarted() {
    line_.end();
    if (!quiet_ && line_.onTerminal())
        console_.write(kRecording.str() + "\n");
}

void BackupPrinter::completionDone(const backup::CopyReport& report, bool) {
    report_ = report;
}

void BackupPrinter::copyImpossible(const std::string& sourceDir) {
    impossible_ = backup::cannotReadSourceMessage(sourceDir);
}

void BackupPrinter::backupFolderImpossible(const std::string& path, const std::string& reason) {
    impossible_ = backup::cannotMakeBackupFolderMessage(path, reason);
}

int BackupPrinter::finish(const std::string& sourceDir, const std::string& backupFolder) {
    line_.end();
    if (!report_) {
        console_.writeError(
            (impossible_.empty() ? backup::cannotReadSourceMessage(sourceDir) : impossible_) +
            "\n");
        return kNothingBackedUp;
    }
    const backup::CopyReport& report = *report_;
    const walk::CopyFailures& failures = report.failures;
    if (!quiet_) {
        std::string summary = kSummaryCopied.str() + std::to_string(report.filesCopied()) +
                              kFilesUnit.str() + kOpenParen.str() +
                              walk::megabytesText(report.bytesCopied) + " MB" + kCloseParen.str() +
                              kComma.str();
        if (report.filesLinked > 0)
            summary += backup::linkedText(report.filesLinked) + kComma.str();
        summary += kSummaryPresent.str() + std::to_string(report.filesPresent) + kFilesCount.str() +
                   kComma.str();
        if (failures.differingCount() > 0)
            summary += kSummaryDiffering.str() + std::to_string(failures.differingCount()) +
                       kFilesCount.str() + kComma.str();
        console_.write(summary + kSummaryFailed.str() + std::to_string(failures.count()) +
                       kFilesCount.str() + "\n");
    }
    writeFailures(console_, kFilesFailedAfter.str(), failures.files());
    writeFailures(console_, kFoldersFailedAfter.str(), failures.folders());
    writeFailures(console_, kDifferingAfter.str(), failures.differing());
    if (!quiet_)
        writeFailures(console_, walk::kPassedLinksAfter.str(), failures.passedLinks());
    if (const std::optional<backup::StoreFailure>& failure = report.storeFailure) {
        console_.writeError(backup::notRecordedMessage(*failure) + "\n");
        return kNothingBackedUp;
    }
    if (!quiet_)
        console_.write(kBackupFolder.str() + backupFolder + "\n" + kRestorePoint.str() +
                       std::to_string(report.restorePoint) + "\n");
    return failures.any() ? kSomeFailed : kAllBackedUp;
}

} // namespace cli
