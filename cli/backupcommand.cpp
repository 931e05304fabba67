#include "backupcommand.h"

#include "backupprinter.h"
#include "prunecommand.h"
#include "taskloop.h"

#include "backup/backupinput.h"
#include "backup/backupmessages.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/hosterror.h"
#include "store/backupstore.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "text/programpath.h"
#include "threads/uithread.h"

#include <exception>
#include <optional>
#include <thread>

namespace cli {
namespace {

const text::Text kNoSettings{u8"找不到設定檔："};
const text::Text kNoSettingsHint{u8"（請先在視窗中選擇資料夾，或以 --source 和 --dest 指定）"};
const text::Text kSourceInvalid{u8"備份來源資料夾不正確："};
const text::Text kSourceIsRoot{u8"磁碟機的根目錄無法備份："};
const text::Text kDestInvalid{u8"備份目地資料夾不正確："};
const text::Text kDestMissing{u8"找不到備份目地資料夾："};
const text::Text kNoProgramFolder{u8"無法建立程式資料夾："};
const text::Text kCannotSaveSettings{u8"無法儲存設定檔："};
const text::Text kCannotWriteProgramFolder{u8"無法寫入程式資料夾，不開始備份："};
const text::Text kBackingUp{u8"正在備份："};
const text::Text kProgramFault{u8"程式發生錯誤："};

// Why the folders cannot be backed up as they stand, or empty.
std::string refusal(const store::SettingsValues& choice) {
    if (!text::splitProgramPath(choice.sourceDir))
        return kSourceInvalid.str() + choice.sourceDir;
    if (text::isDriveRoot(choice.sourceDir))
        return kSourceIsRoot.str() + choice.sourceDir;
    if (!platform::folderCanBeEntered(choice.sourceDir))
        return backup::cannotReadSourceMessage(choice.sourceDir);
    if (!text::splitProgramPath(choice.destDir))
        return kDestInvalid.str() + choice.destDir;
    if (!platform::folderExists(choice.destDir))
        return kDestMissing.str() + choice.destDir;
    return {};
}

// The folders to back up: the saved choice, with what the command line names instead.
std::optional<store::SettingsValues> chosenFolders(const CommandLine& line,
                                                   const store::BackupStore& store) {
    store::SettingsValues choice;
    if (!line.sourceDir || !line.destDir) {
        std::optional<store::SettingsValues> saved = store.ReadSettings();
        if (!saved)
            return std::nullopt;
        choice = *saved;
    }
    if (line.sourceDir)
        choice.sourceDir = *line.sourceDir;
    if (line.destDir)
        choice.destDir = *line.destDir;
    // In the form the window keeps them in, so that both record the same names: one dated folder
    // is one catalog record however the folder was typed, and a root destination is "E:".
    choice.sourceDir = text::normalizedFolder(choice.sourceDir);
    choice.destDir = text::normalizedFolder(choice.destDir);
    if (text::isDriveRoot(choice.destDir))
        choice.destDir.resize(2);
    return choice;
}

// Runs both passes of the job on a worker while this thread shows what they post.
int backUp(const backup::BackupJobInput& input, Console& console, bool quiet) {
    TaskLoop loop;
    BackupPrinter printer(console, quiet);
    backup::BackupJob job(printer);
    job.setInput(input);
    // What goes wrong in the printer (on this thread) ends the run like the job's own faults,
    // rather than vanishing with the task that met it.
    std::exception_ptr shown;
    auto before = threads::setPostedExceptionHandler([&shown](std::exception_ptr error) {
        if (!shown)
            shown = error;
    });
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            job.runPass(true);
            threads::postToUiThread([&printer, files = job.FileTotal(), bytes = job.TotalBytes()] {
                printer.counted(files, bytes);
            });
            job.runPass(false);
        } catch (...) {
            failure = std::current_exception(); // read after the join
        }
        threads::postToUiThread([&loop] { loop.quit(); }); // after everything the job posted
    });
    loop.run();
    worker.join();
    threads::setPostedExceptionHandler(std::move(before));
    if (failure)
        std::rethrow_exception(failure);
    if (shown)
        std::rethrow_exception(shown);
    return printer.finish(input.sourceDir,
                          input.destDir + "\\" + input.backupName + "\\" + input.sourceName);
}

int refuse(Console& console, const std::string& why) {
    console.writeError(why + "\n");
    return kNothingBackedUp;
}

} // namespace

int runBackup(const CommandLine& line, Console& console) {
    try {
        store::BackupStore store;
        store.RemoveStaleTemporaries();
        std::optional<store::SettingsValues> choice = chosenFolders(line, store);
        if (!choice)
            return refuse(console,
                          kNoSettings.str() + store.SettingsFilePath() + kNoSettingsHint.str());
        if (std::string why = refusal(*choice); !why.empty())
            return refuse(console, why);

        if (std::optional<store::FolderFailure> missing = store.CreateFolders())
            return refuse(console, kNoProgramFolder.str() +
                                       platform::withReason(missing->path, missing->reason));
        if (std::optional<store::FolderFailure> locked = store.CheckWritable())
            return refuse(console, kCannotWriteProgramFolder.str() +
                                       platform::withReason(locked->path, locked->reason));
        if (line.save) {
            platform::WriteResult saved = store.WriteSettings(choice->sourceDir, choice->destDir);
            if (!saved)
                return refuse(console,
                              kCannotSaveSettings.str() +
                                  platform::withReason(store.SettingsFilePath(), saved.reason));
        }
        int recordCount = store.EnsureRecordCount();

        backup::BackupJobInput input =
            backup::backupInput(*choice, store, recordCount, platform::shortDateToday());
        input.linkUnchanged = !line.fullCopy;
        if (!line.quiet)
            console.write(kBackingUp.str() + choice->sourceDir + "  ==>  " + choice->destDir +
                          "\\" + input.backupName + "\n");
        int status = backUp(input, console, line.quiet);
        if (line.keep) // once the restore point is recorded
            status =
                pruneAfterBackup(store, choice->destDir, *line.keep, line.quiet, console, status);
        return status;
    } catch (const ProgramError& error) { // a damaged file of the store, say
        return refuse(console, error.what());
    } catch (const std::exception& error) {
        return refuse(console, kProgramFault.str() + error.what());
    }
}

} // namespace cli
