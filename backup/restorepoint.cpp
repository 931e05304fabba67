#include "restorepoint.h"

#include "platform/codepage.h"
#include "platform/filelock.h"
#include "platform/process.h"
#include "platform/programerror.h"
#include "store/backupstore.h"

#include <algorithm>
#include <climits>

namespace {

const platform::Text kNoProgramFolder{u8"找不到程式資料夾"};

// The lines of a file of the store, without a last line that a write cut short, unless it is
// whole after all.
std::vector<std::string> wholeLines(FileLines file, bool (*whole)(const std::string&)) {
    if (file.lastCutShort && !whole(file.lines.back()))
        file.lines.pop_back();
    return std::move(file.lines);
}

bool isWholeRecord(const std::string& line) {
    BackupRecord record = BackupStore::ParseRecord(line);
    return !record.backupName.empty() &&
           BackupStore::FindRecordAnywhere({line}, record.destDir, record.backupName) > 0;
}

bool isWholeEntry(const std::string& line) {
    return line.ends_with(".ini");
}

} // namespace

RestorePointResult CreateRestorePoint(const RestorePointInput& input) {
    std::optional<BackupStore> found = BackupStore::FromSettingsFilePath(input.settingsFilePath);
    if (!found)
        return {0, StoreFailure{input.settingsFilePath, kNoProgramFolder.str()}};
    const BackupStore& store = *found;
    platform::FileLock lock(store.RecoverFolder() + "\\BackupDir.lock");
    platform::ExitBlocker
        noExitMidway; // taken once the lock is ours: the end waits for no one else
    auto check = [](const platform::WriteResult& written, const std::string& path) {
        if (!written)
            throw StoreFailure{path, written.reason};
    };
    RestorePointResult result;
    try {
        std::optional<FileLines> catalogFile = store.ReadCatalogFile();
        std::vector<std::string> catalog;
        if (catalogFile)
            catalog = wholeLines(*catalogFile, isWholeRecord);
        int count = store.EnsureRecordCount(); // another program may have counted on since
        int highest = BackupStore::HighestRecordNumber(catalog);
        int number = BackupStore::FindRecord(catalog, input.destDir, input.backupName);
        if (number == 0)
            number = BackupStore::FindRecordAnywhere(catalog, input.destDir, input.backupName);
        bool newRecord = number == 0;
        if (newRecord) {
            number = std::max(count, highest) + 1; // both stay below INT_MAX
            catalog.push_back(BackupStore::RecordText(input.destDir, number, input.backupName));
        }
        result.number = number;
        if (newRecord || !catalogFile || catalogFile->lines.size() != catalog.size() ||
            catalogFile->lastCutShort)
            check(store.WriteCatalog(catalog), store.CatalogPath());
        if (int total = std::max(number, highest); count < total)
            check(store.WriteRecordCount(total), store.CountFilePath());

        std::string listFile =
            BackupStore::FolderListFileName(input.backupName, number, input.sourceName);
        check(store.WriteFolderList(input.backupName, number, input.sourceName, input.folderList),
              store.FolderListPath(listFile));
        std::optional<FileLines> pointFile = store.ReadPointEntries(number);
        std::vector<std::string> entries;
        if (pointFile)
            entries = wholeLines(*pointFile, isWholeEntry);
        bool listed = std::find(entries.begin(), entries.end(), listFile) != entries.end();
        if (!listed)
            entries.push_back(listFile);
        if (!listed || pointFile->lines.size() != entries.size() || pointFile->lastCutShort)
            check(store.WritePointFile(number, entries), store.PointFilePath(number));
    } catch (const StoreFailure& failure) {
        result.failure = failure;
    } catch (const ProgramError& error) {
        result.failure = StoreFailure{{}, error.what()};
    }
    return result;
}
