#include "recordedbackups.h"

#include "store/backupstore.h"

#include <algorithm>
#include <map>
#include <optional>

namespace backup {

std::vector<RecordedBackup> recordedBackups(const std::vector<std::string>& catalog,
                                            const platform::FolderId& destination) {
    std::vector<RecordedBackup> backups;
    std::map<std::string, std::optional<platform::FolderId>> folders; // each path looked up once
    for (const std::string& line : catalog) {
        store::BackupRecord record = store::BackupStore::ParseRecord(line);
        if (record.backupName.empty())
            continue;
        auto [place, added] = folders.try_emplace(record.destDir);
        if (added)
            place->second = platform::folderId(record.destDir);
        auto sameName = [&](const RecordedBackup& b) { return b.name == record.backupName; };
        if (place->second == destination &&
            std::find_if(backups.begin(), backups.end(), sameName) == backups.end())
            backups.push_back({std::move(record.backupName), std::move(record.pointNumber)});
    }
    return backups;
}

std::vector<std::string> recordedBackupNames(const std::vector<std::string>& catalog,
                                             const platform::FolderId& destination) {
    std::vector<std::string> names;
    for (RecordedBackup& backup : recordedBackups(catalog, destination))
        names.push_back(std::move(backup.name));
    return names;
}

} // namespace backup
