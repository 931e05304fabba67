// The catalog reader and what is made of its lines: the restore list, the history, the search
// for a record and the next number.
#include "fuzzstore.h"

#include "text/programerror.h"

#include <climits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const store::BackupStore& store = fuzzing::store();
    fuzzing::plant(store.CatalogPath(), data, size);
    try {
        std::optional<store::FileLines> catalog = store.ReadCatalogFile();
        if (!catalog)
            std::abort(); // it was just written
        for (const std::string& line : catalog->lines) {
            store::BackupRecord record = store::BackupStore::ParseRecord(line);
            // Every part is a piece of the line ("<" and ">" are looked for apart, so the
            // pieces may overlap).
            for (const std::string* part :
                 {&record.destPrefix, &record.pointNumber, &record.backupName, &record.destDir})
                if (line.find(*part) == std::string::npos)
                    std::abort();
            int number = store::BackupStore::FindRecordAnywhere(catalog->lines, record.destDir,
                                                                record.backupName);
            if (number < 0)
                std::abort();
        }
        int highest = store::BackupStore::HighestRecordNumber(catalog->lines);
        if (highest < 0 || highest == INT_MAX)
            std::abort();
    } catch (const ProgramError&) {
        // A damaged catalog, or a number no record can follow: told to the user.
    }
    return 0;
}
