#pragma once

#include "platform/targetfolder.h"

#include <string>
#include <vector>

namespace backup {

// A dated backup folder that the catalog records, and the number of its record.
struct RecordedBackup {
    std::string name;
    std::string pointNumber;
};

// The backups the catalog records for a destination, oldest record first, each name once (with
// its first record). A record belongs to the destination when its folder is the destination's
// folder, however either path was typed (D:\Bak, d:\bak, or through another drive letter).
std::vector<RecordedBackup> recordedBackups(const std::vector<std::string>& catalog,
                                            const platform::FolderId& destination);
// Their names only.
std::vector<std::string> recordedBackupNames(const std::vector<std::string>& catalog,
                                             const platform::FolderId& destination);

} // namespace backup
