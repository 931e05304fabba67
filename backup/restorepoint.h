#pragma once

#include "store/backupstore.h"

#include <optional>
#include <string>

namespace backup {

// What a completed backup records.
struct RestorePointInput {
    store::BackupStore store;
    std::string destDir;
    std::string backupName;
    std::string sourceName;
    int recordCount = 0;    // the count read when the backup was prepared
    std::string folderList; // the source folders of the copy, each ending in a line feed
};

// What could not be recorded, and why (code page 950).
struct StoreFailure {
    std::string path; // the file of the store; empty when the reason names it
    std::string reason;
};

struct [[nodiscard]] RestorePointResult {
    int number = 0; // the restore point's number, once known
    std::optional<StoreFailure> failure;
};

// Records a restore point: a catalog record for a new (destination, backup name) pair and the
// record count, the folder list file, and its entry in the restore-point file, in this order.
// The store is locked from the reading of the catalog to the last write, and the count is read
// afresh under the lock, so that two programs finishing at once never give two records one
// number. Every write is whole and checked; the first that fails ends the recording. The files
// it reads are read before the first write: one that cannot be read ends it with nothing written.
//
// Whatever step an earlier recording was cut short at, this one leaves the store consistent: a
// new record takes the number after both the count and the highest record number; a record
// whose count was never written is completed rather than made again; a folder list file without
// its entry gets it; a line cut short at the end of the catalog or a restore-point file (a full
// disk under an older copy of the program) is dropped.
RestorePointResult CreateRestorePoint(const RestorePointInput& input);

} // namespace backup
