#include "backupinput.h"

#include "text/programpath.h"

namespace backup {

BackupJobInput backupInput(const store::SettingsValues& folders,
                           std::optional<store::BackupStore> store, int recordCount,
                           const std::string& shortDate) {
    std::vector<std::string> elements = text::pathElements(folders.sourceDir);
    BackupJobInput input;
    input.sourceDir = folders.sourceDir;
    input.destDir = folders.destDir;
    input.backupName = store::FormBackupName(shortDate);
    // A drive's root has no name of its own, and is never backed up.
    input.sourceName = elements.empty() ? std::string() : elements.back();
    input.store = std::move(store);
    input.recordCount = recordCount;
    return input;
}

} // namespace backup
