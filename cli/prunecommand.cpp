#include "prunecommand.h"

#include "backupprinter.h"

#include "backup/prune.h"
#include "platform/folders.h"
#include "platform/hosterror.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "text/programpath.h"
#include "walk/sizetext.h"

#include <algorithm>
#include <exception>

namespace cli {
namespace {

const text::Text kNoSettings{u8"找不到設定檔："};
const text::Text kNoSettingsHint{u8"（請以 --dest 指定要清除的備份目地資料夾）"};
const text::Text kDestInvalid{u8"備份目地資料夾不正確："};
const text::Text kCannotOpenDest{u8"無法開啟備份目地資料夾："};
const text::Text kCannotRemove{u8"無法刪除："};
const text::Text kUnfinished{u8"未刪除完成（下次清除或備份到此資料夾時繼續）："};
const text::Text kRemovedBefore{u8"已刪除 "};
const text::Text kFoldersKept{u8" 個備份資料夾，保留 "};
const text::Text kKeptAfter{u8" 個。"};
const text::Text kFreeBefore{u8"可用空間：刪除前 "};
const text::Text kFreeAfter{u8" MB，刪除後 "};
const text::Text kFreeEnd{u8" MB"};
const text::Text kFreeGained{u8"（多出 "};
const text::Text kCloseParen{u8"）"};
const text::Text kFreeUnknown{u8"無法得知可用空間"};
const text::Text kDryRunBefore{u8"試執行，沒有刪除任何資料夾：將刪除 "};
const text::Text kEstimateBefore{u8"約可釋放 "};
const text::Text kEstimateAfter{
    u8" MB（只計入所有連結都在這些資料夾內的檔案；與保留的備份以硬連結共用的檔案不會釋放空間）"};
const text::Text kProgramFault{u8"程式發生錯誤："};

std::string mb(uint64_t bytes) {
    return walk::megabytesText(bytes);
}

int report(const backup::PruneReport& done, bool dryRun, bool quiet, Console& console) {
    if (!quiet)
        for (const std::string& path : done.removed)
            console.write(path + "\n");
    for (const walk::RemovalFailure& failure : done.failures)
        console.write(kCannotRemove.str() + platform::withReason(failure.path, failure.reason) +
                      "\n");
    for (const std::string& path : done.unfinished)
        console.write(kUnfinished.str() + path + "\n");
    if (!quiet) {
        std::string counts = std::to_string(done.removed.size()) + kFoldersKept.str() +
                             std::to_string(done.kept) + kKeptAfter.str();
        if (dryRun) {
            console.write(kDryRunBefore.str() + counts + kEstimateBefore.str() +
                          mb(done.estimatedBytes) + kEstimateAfter.str() + "\n");
        } else {
            console.write(kRemovedBefore.str() + counts + "\n");
            if (done.freeBefore && done.freeAfter) {
                std::string free = kFreeBefore.str() + mb(*done.freeBefore) + kFreeAfter.str() +
                                   mb(*done.freeAfter) + kFreeEnd.str();
                if (*done.freeAfter > *done.freeBefore)
                    free += kFreeGained.str() + mb(*done.freeAfter - *done.freeBefore) +
                            kFreeEnd.str() + kCloseParen.str();
                console.write(free + "\n");
            } else {
                console.write(kFreeUnknown.str() + "\n");
            }
        }
    }
    return done.failures.empty() && done.unfinished.empty() ? kAllBackedUp : kSomeFailed;
}

// Prunes one destination; kNothingBackedUp, with the reason told, when nothing could be done.
int prune(const store::BackupStore& store, const std::string& destDir,
          const backup::KeepPolicy& policy, bool dryRun, bool quiet, Console& console) {
    try {
        backup::PruneReport done = backup::PruneBackups(store, destDir, policy, dryRun);
        if (!done.whyNot.empty()) {
            console.writeError(kCannotOpenDest.str() + done.whyNot + "\n");
            return kNothingBackedUp;
        }
        return report(done, dryRun, quiet, console);
    } catch (const ProgramError& error) { // a catalog that cannot be read
        console.writeError(std::string(error.what()) + "\n");
    } catch (const std::exception& error) {
        console.writeError(kProgramFault.str() + error.what() + "\n");
    }
    return kNothingBackedUp;
}

} // namespace

int runPrune(const CommandLine& line, Console& console) {
    try {
        store::BackupStore store;
        std::string destDir;
        if (line.destDir) {
            destDir = *line.destDir;
        } else if (std::optional<store::SettingsValues> saved = store.ReadSettings()) {
            destDir = saved->destDir;
        } else {
            console.writeError(kNoSettings.str() + store.SettingsFilePath() +
                               kNoSettingsHint.str() + "\n");
            return kNothingBackedUp;
        }
        destDir = text::destinationForm(destDir);
        if (!text::splitProgramPath(destDir)) {
            console.writeError(kDestInvalid.str() + destDir + "\n");
            return kNothingBackedUp;
        }
        return prune(store, destDir, *line.keep, line.dryRun, line.quiet, console);
    } catch (const ProgramError& error) { // a settings file that cannot be read
        console.writeError(std::string(error.what()) + "\n");
        return kNothingBackedUp;
    }
}

int pruneAfterBackup(const store::BackupStore& store, const std::string& destDir,
                     const backup::KeepPolicy& policy, bool quiet, Console& console,
                     int backupStatus) {
    if (backupStatus == kNothingBackedUp)
        return backupStatus; // no restore point recorded: nothing is pruned
    int pruned = prune(store, destDir, policy, false, quiet, console);
    return pruned == kAllBackedUp ? backupStatus : std::max<int>(backupStatus, kSomeFailed);
}

} // namespace cli
