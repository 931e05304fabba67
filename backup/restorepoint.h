#pragma once

#include <string>

// What a completed backup records.
struct RestorePointInput {
    std::string settingsFilePath; // locates the program folder
    std::string destDir;
    std::string backupName;
    std::string sourceName;
    int recordCount = 0;    // the count read when the backup was prepared
    std::string folderList; // the source folders of the copy, each ending in a line feed
};

// Records a restore point: a catalog record for a new (destination, backup name) pair and the
// record count, the folder list file, and for a new folder list file an entry in the
// restore-point file, in this order. The store is locked from the reading of the catalog to the
// last write, and the count is read afresh under the lock, so that two programs finishing at
// once never give two records one number. Returns the restore point's number (0 when the
// program folder is unknown).
int CreateRestorePoint(const RestorePointInput& input);
