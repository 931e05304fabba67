// A catalog line taken apart, and found again from its parts.
#include "store/backupstore.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    store::BackupRecord record = store::BackupStore::ParseRecord(line);
    if (!record.destPrefix.empty() && !line.starts_with(record.destPrefix))
        std::abort();
    if (!line.ends_with(record.backupName))
        std::abort();
    // A line in the record's own form is found under its own number.
    int number = store::BackupStore::FindRecordAnywhere({line}, record.destDir, record.backupName);
    if (number > 0 &&
        line != store::BackupStore::RecordText(record.destDir, number, record.backupName))
        std::abort();
    if (store::BackupStore::FindRecord({line}, record.destDir, record.backupName) == 1 &&
        number != 1)
        std::abort();
    return 0;
}
