#include "restorepoint.h"

#include "text/programerror.h"

#include <algorithm>
#include <climits>

namespace backup {
namespace {

// The lines of a file of the store, without a last line that a write cut short, unless it is
// whole after all.
std::vector<std::string> wholeLines(store::FileLines file, bool (*whole)(const std::string&)) {
    if (file.lastCutShort && !whole(file.lines.back()))
        file.lines.pop_back();
    return std::move(file.lines);
}

bool isWholeRecord(const std::string& line) {
    store::BackupRecord record = store::BackupStore::ParseRecord(line);
    return !record.backupName.empty() &&
           store::BackupStore::FindRecordAnywhere({line}, record.destDir, record.backupName) > 0;
}

bool isWholeEntry(const std::string& line) {
    return line.ends_with(".ini");
}

} // namespace

RestorePointResult CreateRestorePoint(const RestorePointInput& input) {
    const store::BackupStore& store = input.store;
    store::BackupStore::Recording recording(store);
    auto check = [](const platform::WriteResult& written, const std::string& path) {
        if (!written)
            throw StoreFailure{path, written.reason};
    };
    RestorePointResult result;
    try {
        std::optional<store::FileLines> catalogFile = store.ReadCatalogFile();
        std::vector<std::string> catalog;
        if (catalogFile)
            catalog = wholeLines(*catalogFile, isWholeRecord);
        int count = store.EnsureRecordCount(); // another program may have counted on since
        int highest = store::BackupStore::HighestRecordNumber(catalog);
        int number = store::BackupStore::FindRecord(catalog, input.destDir, input.backupName);
        if (number == 0)
            number =
                store::BackupStore::FindRecordAnywhere(catalog, input.destDir, input.backupName);
        bool newRecord = number == 0;
        if (newRecord) {
            number = std::max(count, highest) + 1; // both stay below INT_MAX
            catalog.push_back(
                store::BackupStore::RecordText(input.destDir, number, input.backupName));
        }
        result.number = number;
        // Read before anything is written: a file that cannot be read leaves the store as it was.
        std::optional<store::FileLines> pointFile = store.ReadPointEntries(number);
        if (newRecord || !catalogFile || catalogFile->lines.size() != catalog.size() ||
            catalogFile->lastCutShort)
            check(store.WriteCatalog(catalog), store.CatalogPath());
        if (int total = std::max(number, highest); count < total)
            check(store.WriteRecordCount(total), store.CountFilePath());

        std::string listFile =
            store::BackupStore::FolderListFileName(input.backupName, number, input.sourceName);
        check(store.WriteFolderList(input.backupName, number, input.sourceName, input.folderList),
              store.FolderListPath(listFile));
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

} // namespace backup
