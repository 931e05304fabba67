// The record count reader: a count fit to be followed by another, or the error for the user.
#include "fuzzstore.h"

#include "text/programerror.h"

#include <climits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const store::BackupStore& store = fuzzing::store();
    fuzzing::plant(store.CountFilePath(), data, size);
    try {
        int count = store.EnsureRecordCount();
        if (count < 0 || count == INT_MAX)
            std::abort();
    } catch (const ProgramError& error) {
        // The message quotes the file, never more of it than a line can show.
        if (std::string_view(error.what()).size() > 400)
            std::abort();
    }
    return 0;
}
