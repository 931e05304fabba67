#include "restorecommand.h"

#include "backupprinter.h"
#include "bothpasses.h"
#include "progressline.h"

#include "backup/recordedbackups.h"
#include "platform/folders.h"
#include "platform/hosterror.h"
#include "platform/targetfolder.h"
#include "restore/restorechoice.h"
#include "restore/restorejob.h"
#include "store/backupstore.h"
#include "text/big5.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "text/programpath.h"
#include "walk/sizetext.h"

#include <chrono>
#include <cstdio>
#include <optional>

namespace cli {
namespace {

const text::Text kDestInvalid{u8"備份目地資料夾不正確："};
const text::Text kDestMissing{u8"找不到備份目地資料夾："};
const text::Text kNoSuchPoint{u8" 沒有這個還原點："};
const text::Text kNoSuchDate{u8" 沒有這一天的備份："};
const text::Text kListHint{u8"（以 --list --dest 資料夾 列出還原點）"};
const text::Text kNoRecords{u8"此備份目地資料夾沒有任何還原點："};
const text::Text kBackupFolderGone{u8"原備份資料夾已不存在了："};
const text::Text kFolderNotInBackup{u8" 之中沒有此資料夾："};
const text::Text kToInvalid{u8"還原到的資料夾不正確："};
const text::Text kToInsideBackup{u8"不能還原到備份資料夾之內："};
const text::Text kListFaultyBefore{u8"檔案清單"};
const text::Text kListFaultyAfter{u8"有誤"};
const text::Text kPointNotCompletedBefore{u8"還原點"};
const text::Text kPointNotCompletedAfter{
    u8"尚未完成（記錄時中斷了）；同一天再備份一次到同一個目地資料夾，就會補齊"};
const text::Text kNotCompleted{u8"（尚未完成）"};
const text::Text kGone{u8"（原備份資料夾已不存在了）"};
const text::Text kNoTarget{u8"檔案清單中找不到此資料夾原來的位置，無法還原："};
const text::Text kCannotReadBackup{u8"無法讀取原備份資料夾："};
const text::Text kCannotMakeTarget{u8"無法建立欲還原資料夾："};
const text::Text kRestoring{u8"正在還原："};
const text::Text kCounting{u8"正在計算檔案："};
const text::Text kFilesUnit{u8" 個檔案"};
const text::Text kCounted{u8"共有 "};
const text::Text kRestoredSoFar{u8"已還原 "};
const text::Text kComma{u8"，"};
const text::Text kPerSecond{u8" MB/秒"};
const text::Text kSummaryRestored{u8"已還原 "};
const text::Text kSummaryPresent{u8"已存在 "};
const text::Text kSummaryDiffering{u8"已存在但與備份中的不同，未覆蓋 "};
const text::Text kSummaryFailed{u8"失敗 "};
const text::Text kFilesCount{u8" 個"};
const text::Text kFilesFailedAfter{u8" 個檔案無法還原："};
const text::Text kFoldersFailedAfter{u8" 個資料夾無法完整還原："};
const text::Text kDifferingAfter{u8" 個檔案已存在但與備份中的不同，未覆蓋："};
const text::Text kOpenParen{u8"（"};
const text::Text kCloseParen{u8"）"};
const text::Text kProgramFault{u8"程式發生錯誤："};

int refuse(Console& console, const std::string& why) {
    console.writeError(why + "\n");
    return kNothingBackedUp;
}

// The day of a dated backup folder (2004_5_1_Back), or nullopt for a name that is none.
std::optional<std::chrono::year_month_day> backupDay(const std::string& name) {
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    char rest[8] = {};
    if (std::sscanf(name.c_str(), "%d_%u_%u%7s", &year, &month, &day, rest) != 4 ||
        std::string(rest) != "_Back")
        return std::nullopt;
    std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                     std::chrono::day(day)};
    return date.ok() ? std::optional(date) : std::nullopt;
}

std::string dayText(const std::chrono::year_month_day& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    return text;
}

std::string pointFault(const store::BackupStore& store, const std::string& point) {
    if (platform::nothingAt(store.RecoverFolder() + "\\" + point + ".ini"))
        return kPointNotCompletedBefore.str() + point + kPointNotCompletedAfter.str();
    return kListFaultyBefore.str() + point + kListFaultyAfter.str();
}

// The destination as the user named it, or the reason it cannot be one.
std::optional<std::string> destination(const CommandLine& line, Console& console,
                                       std::optional<platform::FolderId>& id) {
    std::string destDir = text::destinationForm(*line.destDir);
    if (!text::splitProgramPath(destDir)) {
        refuse(console, kDestInvalid.str() + destDir);
        return std::nullopt;
    }
    id = platform::folderId(destDir);
    if (!id) {
        refuse(console, kDestMissing.str() + destDir);
        return std::nullopt;
    }
    return destDir;
}

std::vector<backup::RecordedBackup> recordedBackups(const store::BackupStore& store,
                                                    const platform::FolderId& id) {
    return backup::recordedBackups(store.ReadCatalog().value_or(std::vector<std::string>()), id);
}

// The folder --folder names: a path below the backup folder whose first name is a folder the
// restore point recorded, made of plain names only (never "..") and there as a folder.
std::optional<restore::RestoreChoice> folderChoice(const std::vector<store::PointEntry>& entries,
                                                   const std::string& backupFolder,
                                                   std::string path) {
    for (char& c : path)
        if (c == '/') // never a trail byte of a Big5 character
            c = '\\';
    std::vector<std::string> names;
    for (size_t start = 0; start <= path.size();) {
        size_t end = std::min(text::big5::find(path, '\\', start), path.size());
        if (end > start)
            names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    std::string folder = backupFolder;
    for (const std::string& name : names) {
        if (!text::hostName(name))
            return std::nullopt; // "..", "." or no name at all
        folder += "\\" + name;
    }
    if (names.empty() || !platform::folderExists(folder))
        return std::nullopt;
    for (const store::PointEntry& entry : entries)
        if (entry.sourceName == names.front())
            return restore::RestoreChoice{backupFolder + "\\" + names.front(), folder,
                                          entry.listFileName};
    return std::nullopt;
}

// Whether `folder`, or a folder above it, is the backup folder, by whatever path.
bool insideBackup(const std::string& folder, const std::string& backupFolder) {
    std::optional<platform::FolderId> backup = platform::folderId(backupFolder);
    for (std::string above = folder; above.size() >= 2;) {
        if (backup && platform::folderId(above) == backup)
            return true;
        std::string_view parent = text::big5::beforeLastBackslash(above);
        if (parent.size() >= above.size())
            break;
        above = std::string(parent);
    }
    return false;
}

// The view of one folder's restore without a window: progress as the backup shows it, then a
// summary and every failure. Called on the loop's thread.
class RestorePrinter : public restore::RestoreView {
public:
    RestorePrinter(Console& console, bool quiet)
        : console_(console), quiet_(quiet), line_(console), lastShown_(Clock::now()) {}

    void counted(int64_t files, uint64_t bytes) {
        counted_ = true;
        fileTotal_ = files;
        byteTotal_ = bytes;
        copyStarted_ = Clock::now();
        lastShown_ = copyStarted_;
        line_.end();
        if (!quiet_)
            console_.write(kCounted.str() + std::to_string(files) + kFilesUnit.str() +
                           kComma.str() + walk::megabytesText(bytes) + " MB\n");
    }

    void showProgress(const restore::RestoreProgress& progress) override {
        // The copy pass may post before the count is taken in: its totals are not known yet.
        if (quiet_ || (progress.position && !counted_))
            return;
        Clock::time_point now = Clock::now();
        if (now - lastShown_ < line_.interval())
            return;
        lastShown_ = now;
        if (!progress.position) {
            if (line_.onTerminal())
                line_.show(kCounting.str() + std::to_string(progress.fileTotal) + kFilesUnit.str());
            return;
        }
        double seconds = std::chrono::duration<double>(now - copyStarted_).count();
        line_.show(kRestoredSoFar.str() + std::to_string(*progress.position) + "/" +
                   std::to_string(fileTotal_) + kFilesUnit.str() + kComma.str() +
                   walk::megabytesText(progress.bytesCopied) + "/" +
                   walk::megabytesText(byteTotal_) + " MB" + kComma.str() +
                   rateText(progress.bytesCopied, seconds) + kPerSecond.str());
    }

    void restoreCompleted(const restore::RestoreReport& report) override { report_ = report; }
    void restoreImpossible(const std::string& restoreSource) override {
        impossible_ = kCannotReadBackup.str() + restoreSource;
    }
    void restoreTargetImpossible(const std::string& path, const std::string& reason) override {
        impossible_ = kCannotMakeTarget.str() + platform::withReason(path, reason);
    }

    int finish(const std::string& restoreSource) {
        line_.end();
        if (!report_)
            return refuse(console_, impossible_.empty() ? kCannotReadBackup.str() + restoreSource
                                                        : impossible_);
        const restore::RestoreReport& report = *report_;
        const walk::CopyFailures& failures = report.failures;
        if (!quiet_) {
            std::string summary =
                kSummaryRestored.str() + std::to_string(report.filesCopied()) + kFilesUnit.str() +
                kOpenParen.str() + walk::megabytesText(report.bytesCopied) + " MB" +
                kCloseParen.str() + kComma.str() + kSummaryPresent.str() +
                std::to_string(report.filesPresent) + kFilesCount.str() + kComma.str();
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
        return failures.any() ? kSomeFailed : kAllBackedUp;
    }

private:
    using Clock = std::chrono::steady_clock;

    Console& console_;
    bool quiet_;
    ProgressLine line_;
    int64_t fileTotal_ = 0;
    uint64_t byteTotal_ = 0;
    Clock::time_point copyStarted_;
    Clock::time_point lastShown_;
    bool counted_ = false;
    std::optional<restore::RestoreReport> report_;
    std::string impossible_;
};

// Runs the count pass and the copy pass of the dialog's job on a worker while this thread shows
// what they post.
int restoreFolder(const restore::RestoreJobInput& input, Console& console, bool quiet) {
    RestorePrinter printer(console, quiet);
    restore::RestoreJob job(printer);
    job.setInput(input);
    runBothPasses(job, printer);
    return printer.finish(input.restoreSource);
}

// The statuses of the folders as one: nothing restored only when no folder was.
int combined(const std::vector<int>& statuses) {
    bool anyRestored = false;
    bool allDone = true;
    for (int status : statuses) {
        anyRestored = anyRestored || status != kNothingBackedUp;
        allDone = allDone && status == kAllBackedUp;
    }
    return !anyRestored ? kNothingBackedUp : allDone ? kAllBackedUp : kSomeFailed;
}

int restore(const CommandLine& line, Console& console) {
    store::BackupStore store;
    std::optional<platform::FolderId> id;
    std::optional<std::string> destDir = destination(line, console, id);
    if (!destDir)
        return kNothingBackedUp;
    std::vector<backup::RecordedBackup> backups = recordedBackups(store, *id);
    const backup::RecordedBackup* chosen = nullptr;
    for (const backup::RecordedBackup& backup : backups)
        if (line.point ? backup.pointNumber == std::to_string(*line.point)
                       : backupDay(backup.name) == line.date)
            chosen = &backup; // the last of a day: the newest
    if (!chosen)
        return refuse(console, *destDir +
                                   (line.point ? kNoSuchPoint.str() + std::to_string(*line.point)
                                               : kNoSuchDate.str() + dayText(*line.date)) +
                                   kListHint.str());
    std::optional<std::vector<store::PointEntry>> entries =
        store.ReadPointFile(chosen->pointNumber, chosen->name);
    if (!entries || entries->empty())
        return refuse(console, pointFault(store, chosen->pointNumber));
    std::string backupFolder = *destDir + "\\" + chosen->name;
    if (!platform::folderExists(backupFolder))
        return refuse(console, kBackupFolderGone.str() + backupFolder);

    std::vector<restore::RestoreChoice> choices;
    if (line.folder) {
        std::optional<restore::RestoreChoice> choice =
            folderChoice(*entries, backupFolder, *line.folder);
        if (!choice)
            return refuse(console, backupFolder + kFolderNotInBackup.str() + *line.folder);
        choices.push_back(*choice);
    } else {
        for (const store::PointEntry& entry : *entries) {
            std::string copyRoot = backupFolder + "\\" + entry.sourceName;
            choices.push_back({copyRoot, copyRoot, entry.listFileName});
        }
    }
    std::optional<std::string> into;
    if (line.toDir) {
        into = text::destinationForm(*line.toDir);
        if (!text::splitProgramPath(*into))
            return refuse(console, kToInvalid.str() + *into);
        if (insideBackup(*into, backupFolder))
            return refuse(console, kToInsideBackup.str() + *into);
    }

    std::vector<int> statuses;
    for (const restore::RestoreChoice& choice : choices) {
        std::optional<restore::RestoreJobInput> input;
        try {
            input = into ? restore::restoreInputInto(choice, *into)
                         : restore::restoreInput(store, choice);
        } catch (const ProgramError& error) { // a folder list that cannot be read
            statuses.push_back(refuse(console, error.what()));
            continue;
        }
        if (!input) {
            statuses.push_back(refuse(console, kListFaultyBefore.str() + chosen->pointNumber +
                                                   kListFaultyAfter.str()));
            continue;
        }
        if (input->restoreTarget.empty()) { // nowhere to go back to, as the dialog finds
            statuses.push_back(refuse(console, kNoTarget.str() + choice.folder));
            continue;
        }
        if (!line.quiet)
            console.write(kRestoring.str() + input->restoreSource + "  ==>  " +
                          input->restoreTarget + "\n");
        statuses.push_back(restoreFolder(*input, console, line.quiet));
    }
    return combined(statuses);
}

} // namespace

int runRestore(const CommandLine& line, Console& console) {
    try {
        return restore(line, console);
    } catch (const ProgramError& error) { // a damaged file of the store, say
        return refuse(console, error.what());
    } catch (const std::exception& error) {
        return refuse(console, kProgramFault.str() + error.what());
    }
}

int runList(const CommandLine& line, Console& console) {
    try {
        store::BackupStore store;
        std::optional<platform::FolderId> id;
        std::optional<std::string> destDir = destination(line, console, id);
        if (!destDir)
            return kNothingBackedUp;
        std::vector<backup::RecordedBackup> backups = recordedBackups(store, *id);
        if (backups.empty())
            console.writeError(kNoRecords.str() + *destDir + "\n");
        std::string text;
        for (const backup::RecordedBackup& backup : backups) {
            std::optional<std::chrono::year_month_day> day = backupDay(backup.name);
            text += backup.pointNumber + "\t" + (day ? dayText(*day) : backup.name);
            std::optional<std::vector<store::PointEntry>> entries =
                store.ReadPointFile(backup.pointNumber, backup.name);
            // Appended piece by piece: "\t" + a temporary trips a false -Wrestrict of GCC 12.
            if (!platform::folderExists(*destDir + "\\" + backup.name)) {
                text += '\t';
                text += kGone.str();
            } else if (!entries) {
                text += '\t';
                text += kNotCompleted.str();
            } else {
                for (const store::PointEntry& entry : *entries) {
                    text += '\t';
                    text += store.FolderListHead(entry.listFileName)
                                .value_or(entry.sourceName + kNotCompleted.str());
                }
            }
            text += "\n";
        }
        console.write(text);
        return kAllBackedUp;
    } catch (const ProgramError& error) {
        return refuse(console, error.what());
    } catch (const std::exception& error) {
        return refuse(console, kProgramFault.str() + error.what());
    }
}

} // namespace cli
