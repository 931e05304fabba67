// The restore-point file reader, as the restore dialog lists a backup's folders.
#include "fuzzstore.h"

#include "text/programerror.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const store::BackupStore& store = fuzzing::store();
    // The first line names the backup; the rest is the file.
    auto [backupName, file] = fuzzing::splitFirstLine(data, size);
    fuzzing::plant(store.PointFilePath(7), reinterpret_cast<const uint8_t*>(file.data()),
                   file.size());
    try {
        std::optional<std::vector<store::PointEntry>> entries =
            store.ReadPointFile("7", backupName);
        if (!entries)
            std::abort();
        for (const store::PointEntry& entry : *entries)
            if (entry.sourceName.size() > entry.listFileName.size())
                std::abort();
        store.ReadPointEntries(7);
    } catch (const ProgramError&) {
    }
    return 0;
}
