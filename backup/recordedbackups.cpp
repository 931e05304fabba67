#include "recordedbackups.h"

#include "store/backupstore.h"

#include <algorithm>
#include <map>
#include <optional>

std::vector<std::string> recordedBackupNames(const std::vector<std::string>& catalog,
                                             const platform::FolderId& destination) {
    std::vector<std::string> names;
    std::map<std::string, std::optional<platform::FolderId>> folders; // each path looked up once
    for (const std::string& line : catalog) {
        BackupRecord record = BackupStore::ParseRecord(line);
        if (record.backupName.empty())
            continue;
        auto [place, added] = folders.try_emplace(record.destDir);
        if (added)
            place->second = platform::folderId(record.destDir);
        if (place->second == destination &&
            std::find(names.begin(), names.end(), record.backupName) == names.end())
            names.push_back(std::move(record.backupName));
    }
    return names;
}
