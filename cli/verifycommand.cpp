#include "verifycommand.h"

#include "progressline.h"

#include "backup/backupmessages.h"
#include "backup/verifybackup.h"
#include "platform/folders.h"
#include "platform/hosterror.h"
#include "store/backupstore.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "text/programpath.h"
#include "walk/sizetext.h"

#include <chrono>
#include <cstdio>
#include <exception>

namespace cli {
namespace {

const text::Text kNoSettings{u8"找不到設定檔："};
const text::Text kNoSettingsHint{u8"（請先在視窗中選擇資料夾，或以 --source 和 --dest 指定）"};
const text::Text kSourceInvalid{u8"備份來源資料夾不正確："};
const text::Text kSourceIsRoot{u8"磁碟機的根目錄無法備份："};
const text::Text kDestInvalid{u8"備份目地資料夾不正確："};
const text::Text kDestMissing{u8"找不到備份目地資料夾："};
const text::Text kNoBackup{u8"備份目地資料夾中沒有此來源資料夾的備份記錄："};
const text::Text kCopyGone{u8"找不到備份資料夾："};
const text::Text kProgramFault{u8"程式發生錯誤："};
const text::Text kVerifying{u8"正在驗證："};
const text::Text kRestorePointBefore{u8"（還原點 "};
const text::Text kCloseParen{u8"）"};
const text::Text kComparing{u8"正在比對："};
const text::Text kFilesUnit{u8" 個檔案"};
const text::Text kComma{u8"，"};
const text::Text kPerSecond{u8" MB/秒"};
// The kinds of difference, in the order of backup::DifferenceKind.
const text::Text kMissing{u8"備份中沒有："};
const text::Text kOnlyInBackup{u8"只在備份中："};
const text::Text kSizeOrTime{u8"大小或修改時間不同："};
const text::Text kContents{u8"內容不同："};
const text::Text kUnreadable{u8"無法讀取："};
const text::Text kMissingCount{u8"備份中沒有 "};
const text::Text kOnlyInBackupCount{u8"只在備份中 "};
const text::Text kSizeOrTimeCount{u8"大小或修改時間不同 "};
const text::Text kContentsCount{u8"內容不同 "};
const text::Text kUnreadableCount{u8"無法讀取 "};
const text::Text kCompared{u8"已比對 "};
const text::Text kFilesAnd{u8" 個檔案、"};
const text::Text kFolders{u8" 個資料夾"};
const text::Text kBytesRead{u8"，讀取 "};
const text::Text kColon{u8"："};
const text::Text kNoDifferenceText{u8"沒有差異。"};
const text::Text kDifferencesBefore{u8"有 "};
const text::Text kDifferencesAfter{u8" 個差異（"};
const text::Text kCountUnit{u8" 個"};
const text::Text kEnumerationComma{u8"，"};
const text::Text kEnd{u8"）。"};

const text::Text& kindText(backup::DifferenceKind kind) {
    switch (kind) {
    case backup::DifferenceKind::MissingFromBackup:
        return kMissing;
    case backup::DifferenceKind::OnlyInBackup:
        return kOnlyInBackup;
    case backup::DifferenceKind::SizeOrTime:
        return kSizeOrTime;
    case backup::DifferenceKind::Contents:
        return kContents;
    case backup::DifferenceKind::Unreadable:
        break;
    }
    return kUnreadable;
}

// Writes the differences as they are found and, with --full, a progress line as a backup does:
// rewritten in place on a terminal a few times a second, a plain line every half minute else.
class VerifyPrinter : public backup::VerifyView {
public:
    VerifyPrinter(Console& console, bool progress)
        : console_(console), line_(console), progress_(progress), started_(Clock::now()),
          lastShown_(started_) {}

    void difference(const backup::Difference& found) override {
        line_.end();
        std::string text =
            kindText(found.kind).str() + platform::withReason(found.path, found.reason);
        if (!found.hostText.empty()) {
            console_.write(text + " ");
            console_.writeHostText("[" + found.hostText + "]");
            text.clear();
        }
        console_.write(text + "\n");
    }

    void compared(int64_t files, uint64_t bytesRead) override {
        if (!progress_)
            return;
        Clock::time_point now = Clock::now();
        if (now - lastShown_ < line_.interval())
            return;
        lastShown_ = now;
        double seconds = std::chrono::duration<double>(now - started_).count();
        line_.show(kComparing.str() + std::to_string(files) + kFilesUnit.str() + kComma.str() +
                   walk::megabytesText(bytesRead) + " MB" + kComma.str() +
                   rateText(bytesRead, seconds) + kPerSecond.str());
    }

    void endProgressLine() { line_.end(); }

private:
    using Clock = std::chrono::steady_clock;
    Console& console_;
    ProgressLine line_;
    bool progress_;
    Clock::time_point started_;
    Clock::time_point lastShown_;
};

std::string summary(const backup::VerifyReport& report, bool full) {
    std::string text = kCompared.str() + std::to_string(report.files) + kFilesAnd.str() +
                       std::to_string(report.folders) + kFolders.str();
    if (full)
        text += kBytesRead.str() + walk::megabytesText(report.bytesRead) + " MB";
    text += kColon.str();
    if (report.differenceTotal() == 0)
        return text + kNoDifferenceText.str() + "\n";
    text += kDifferencesBefore.str() + std::to_string(report.differenceTotal()) +
            kDifferencesAfter.str();
    const text::Text* counts[] = {&kMissingCount, &kOnlyInBackupCount, &kSizeOrTimeCount,
                                  &kContentsCount, &kUnreadableCount};
    bool first = true;
    for (int kind = 0; kind < 5; ++kind) {
        if (report.differences[kind] == 0)
            continue;
        if (!first)
            text += kEnumerationComma.str();
        first = false;
        text += counts[kind]->str() + std::to_string(report.differences[kind]) + kCountUnit.str();
    }
    return text + kEnd.str() + "\n";
}

int cannot(Console& console, const std::string& why) {
    console.writeError(why + "\n");
    return kCannotVerify;
}

} // namespace

int runVerify(const CommandLine& line, Console& console) {
    try {
        // Nothing is made, swept or counted in the program folder: a verification only reads.
        store::BackupStore store;
        store::SettingsValues choice;
        if (!line.sourceDir || !line.destDir) {
            std::optional<store::SettingsValues> saved = store.ReadSettings();
            if (!saved)
                return cannot(console,
                              kNoSettings.str() + store.SettingsFilePath() + kNoSettingsHint.str());
            choice = *saved;
        }
        if (line.sourceDir)
            choice.sourceDir = *line.sourceDir;
        if (line.destDir)
            choice.destDir = *line.destDir;
        choice.sourceDir = text::normalizedFolder(choice.sourceDir);
        choice.destDir = text::destinationForm(choice.destDir); // as the backup recorded it
        if (!text::splitProgramPath(choice.sourceDir))
            return cannot(console, kSourceInvalid.str() + choice.sourceDir);
        if (text::isDriveRoot(choice.sourceDir))
            return cannot(console, kSourceIsRoot.str() + choice.sourceDir);
        if (!text::splitProgramPath(choice.destDir))
            return cannot(console, kDestInvalid.str() + choice.destDir);
        if (!platform::folderExists(choice.destDir))
            return cannot(console, kDestMissing.str() + choice.destDir);
        std::optional<backup::RecordedCopy> copy =
            backup::newestBackupOf(store, choice.sourceDir, choice.destDir);
        if (!copy)
            return cannot(console, kNoBackup.str() + choice.sourceDir + "  ==>  " + choice.destDir);
        if (!platform::folderCanBeEntered(choice.sourceDir))
            return cannot(console, backup::cannotReadSourceMessage(choice.sourceDir));

        console.write(kVerifying.str() + choice.sourceDir + "  <==>  " + copy->path +
                      kRestorePointBefore.str() + copy->pointNumber + kCloseParen.str() + "\n");
        VerifyPrinter printer(console, line.fullCompare);
        backup::VerifyReport report = backup::verifyBackup(
            {choice.sourceDir, choice.destDir, *copy, store, line.fullCompare}, printer);
        printer.endProgressLine();
        if (!report.copyUnreadable.empty())
            return cannot(console, kCopyGone.str() +
                                       platform::withReason(copy->path, report.copyUnreadable));
        if (report.sourceUnreadable)
            return cannot(console, backup::cannotReadSourceMessage(choice.sourceDir));
        console.write(summary(report, line.fullCompare));
        return report.differenceTotal() == 0 ? kNoDifference : kDifferences;
    } catch (const ProgramError& error) { // a file of the store that cannot be read
        return cannot(console, error.what());
    } catch (const std::exception& error) {
        return cannot(console, kProgramFault.str() + error.what());
    }
}

} // namespace cli
