#include "restorepoint.h"

#include "platform/filelock.h"
#include "platform/process.h"
#include "store/backupstore.h"

#include <climits>

int CreateRestorePoint(const RestorePointInput& input) {
    std::optional<BackupStore> found = BackupStore::FromSettingsFilePath(input.settingsFilePath);
    if (!found)
        return 0;
    const BackupStore& store = *found;
    platform::FileLock lock(store.RecoverFolder() + "\\BackupDir.lock");
    platform::ExitBlocker
        noExitMidway; // taken once the lock is ours: the end waits for no one else

    std::vector<std::string> catalog;
    if (std::optional<std::vector<std::string>> lines = store.ReadCatalog())
        catalog = std::move(*lines);
    else
        store.CreateCatalogIfMissing();
    int number = BackupStore::FindRecord(catalog, input.destDir, input.backupName);
    if (number == 0) {
        int count = input.recordCount;
        try {
            count = store.EnsureRecordCount(); // another program may have counted on since
        } catch (const std::exception&) {
            // A count file that holds no number: go on from the count read on "下一步".
        }
        number = count < 0 ? 1 : count < INT_MAX ? count + 1 : INT_MAX;
        store.AppendRecord(input.destDir, number, input.backupName);
        store.WriteRecordCount(number);
    }
    if (store.WriteFolderList(input.backupName, number, input.sourceName, input.folderList))
        store.AppendPointEntry(
            number, BackupStore::FolderListFileName(input.backupName, number, input.sourceName));
    return number;
}
