#include "backupcommand.h"

#include "backupprinter.h"
#include "bothpasses.h"
#include "prunecommand.h"

#include "backup/backupinput.h"
#include "backup/backupmessages.h"
#include "backup/failednight.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/hosterror.h"
#include "platform/notification.h"
#include "store/backupstore.h"
#include "store/lastbackup.h"
#include "text/big5.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "text/programpath.h"

#include <optional>

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
const text::Text kCannotWriteLastBackup{u8"無法記錄這次備份的結果："};
const text::Text kSomeFilesFailed{u8" 個檔案無法備份"};
const text::Text kSomeFoldersFailed{u8" 個資料夾無法完整備份"};
const text::Text kSomeDiffering{u8" 個檔案已存在但與來源不同，未覆蓋"};
const text::Text kSomeNotPruned{u8"有些舊備份資料夾無法刪除"};
const text::Text kThereAre{u8"有 "};
const text::Text kComma{u8"，"};
const text::Text kFirstOf{u8"。第一個："};

// Passes everything on, and keeps the first line of the errors: why a backup that made nothing
// failed, for the user who was not there to read it.
class ErrorKeeping : public Console {
public:
    explicit ErrorKeeping(Console& console) : console_(console) {}
    bool isTerminal() const override { return console_.isTerminal(); }
    void write(std::string_view text) override { console_.write(text); }
    void writeError(std::string_view text) override {
        if (first_.empty())
            first_ = text.substr(0, text::big5::find(text, '\n'));
        console_.writeError(text);
    }
    void writeHostText(std::string_view utf8) override { console_.writeHostText(utf8); }
    const std::string& firstError() const { return first_; }

private:
    Console& console_;
    std::string first_;
};

// What failed in a backup that made its restore point: how many of each kind, and the first.
std::string failuresText(const walk::CopyFailures& failures) {
    std::string text;
    const walk::CopyFailure* first = nullptr;
    for (auto [items, after] : {std::pair{&failures.files(), &kSomeFilesFailed},
                                {&failures.folders(), &kSomeFoldersFailed},
                                {&failures.differing(), &kSomeDiffering}}) {
        if (items->empty())
            continue;
        if (!text.empty())
            text += kComma.str();
        text += kThereAre.str() + std::to_string(items->size()) + after->str();
        if (!first)
            first = &items->front();
    }
    if (first)
        text += kFirstOf.str() + platform::withReason(first->path, first->reason);
    return text;
}

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
    choice.destDir = text::destinationForm(choice.destDir);
    return choice;
}

// Runs both passes of the job on a worker while this thread shows what they post.
int backUp(const backup::BackupJobInput& input, Console& console, bool quiet,
           store::LastBackup& record) {
    BackupPrinter printer(console, quiet);
    backup::BackupJob job(printer);
    job.setInput(input);
    runBothPasses(job, printer);
    int status = printer.finish(input.sourceDir,
                                input.destDir + "\\" + input.backupName + "\\" + input.sourceName);
    if (status == kSomeFailed)
        record.reason = failuresText(printer.report()->failures);
    return status;
}

int refuse(Console& console, const std::string& why) {
    console.writeError(why + "\n");
    return kNothingBackedUp;
}

// The backup itself; `record` gets the folders and, for a backup with failures, why.
int backUpChoice(const CommandLine& line, Console& console, store::LastBackup& record) {
    try {
        store::BackupStore store;
        store.RemoveStaleTemporaries();
        std::optional<store::SettingsValues> choice = chosenFolders(line, store);
        if (!choice)
            return refuse(console,
                          kNoSettings.str() + store.SettingsFilePath() + kNoSettingsHint.str());
        record.sourceDir = choice->sourceDir;
        record.destDir = choice->destDir;
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
        record.destDir += "\\" + input.backupName;
        int status = backUp(input, console, line.quiet, record);
        if (line.keep) { // once the restore point is recorded
            int pruned =
                pruneAfterBackup(store, choice->destDir, *line.keep, line.quiet, console, status);
            if (pruned != status && record.reason.empty())
                record.reason = kSomeNotPruned.str();
            status = pruned;
        }
        return status;
    } catch (const ProgramError& error) { // a damaged file of the store, say
        return refuse(console, error.what());
    } catch (const std::exception& error) {
        return refuse(console, kProgramFault.str() + error.what());
    }
}

// Leaves how the backup ended in the program folder, for the window's next start (a backup that
// ended well clears one that failed), and tells a desktop of a failure at once. Neither holds
// up the exit status: a record that cannot be written is named, and the desktop may be absent.
void tellResult(store::LastBackup record, Console& console) {
    record.when = platform::shortDateTimeNow();
    try {
        store::BackupStore store;
        std::string path = store.LastBackupPath();
        // Before the program folder is made (no backup was ever set up) there is no window to
        // tell later.
        if (platform::folderExists(std::string(text::big5::beforeLastBackslash(path))))
            if (platform::WriteResult written = store::WriteLastBackup(store, record); !written)
                console.writeError(kCannotWriteLastBackup.str() +
                                   platform::withReason(path, written.reason) + "\n");
    } catch (const std::exception& error) {
        console.writeError(kCannotWriteLastBackup.str() + error.what() + "\n");
    }
    if (record.status != kAllBackedUp)
        platform::notifyDesktop(backup::failedNightTitle(record),
                                backup::failedNightMessage(record));
}

} // namespace

int runBackup(const CommandLine& line, Console& console) {
    ErrorKeeping kept(console);
    store::LastBackup record;
    record.status = backUpChoice(line, kept, record);
    if (record.status != kAllBackedUp && record.reason.empty())
        record.reason = kept.firstError();
    tellResult(record, console);
    return record.status;
}

} // namespace cli
