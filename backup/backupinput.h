#pragma once

#include "backupjob.h"

#include <optional>
#include <string>

namespace backup {

// What a backup of these folders works with on the given day (its short date, such as 2004/5/1),
// as the window and the command line both prepare it: the day's dated folder, and the source
// folder's own name (its last path element) for its copy in that folder.
BackupJobInput backupInput(const store::SettingsValues& folders,
                           std::optional<store::BackupStore> store, int recordCount,
                           const std::string& shortDate);

} // namespace backup
