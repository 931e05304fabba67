// The settings file reader: any bytes give two values or nothing.
#include "fuzzstore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const store::BackupStore& store = fuzzing::store();
    fuzzing::plant(store.SettingsFilePath(), data, size);
    if (std::optional<store::SettingsValues> settings = store.ReadSettings())
        if (settings->sourceDir.size() + settings->destDir.size() > size)
            std::abort(); // a value can only come from the file's own bytes
    return 0;
}
