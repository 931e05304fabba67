#include "savesettings.h"

#include "backupstore.h"

SavedSettings SaveSettings(const std::string& sourceDir, const std::string& destDir) {
    BackupStore store;
    store.CreateFolders();
    store.WriteSettings(sourceDir, destDir);
    return {store.SettingsFilePath(), store.EnsureRecordCount()};
}
