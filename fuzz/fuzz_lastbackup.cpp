// The reader of how the last backup without a window ended: any bytes give a record or nothing,
// and a record written back reads as itself.
#include "fuzzstore.h"

#include "store/lastbackup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const store::BackupStore& store = fuzzing::store();
    fuzzing::plant(store.LastBackupPath(), data, size);
    std::optional<store::LastBackup> record = store::ReadLastBackup(store);
    if (!record)
        return 0;
    for (const std::string* value :
         {&record->when, &record->sourceDir, &record->destDir, &record->reason})
        if (value->find('\r') != std::string::npos)
            return 0; // written as a space: a record keeps its values on their lines
    if (!store::WriteLastBackup(store, *record) || store::ReadLastBackup(store) != record)
        std::abort();
    return 0;
}
