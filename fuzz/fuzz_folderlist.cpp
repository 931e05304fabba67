// The folder list search that tells a restore where a folder came from.
#include "fuzzstore.h"

#include "text/big5.h"
#include "text/programerror.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const store::BackupStore& store = fuzzing::store();
    // The first line is the relative text searched for; the rest is the file.
    auto [relative, file] = fuzzing::splitFirstLine(data, size);
    const std::string name = "2004_5_1_Back1_Data.ini";
    fuzzing::plant(store.FolderListPath(name), reinterpret_cast<const uint8_t*>(file.data()),
                   file.size());
    try {
        std::optional<std::string> line = store.FindSourceLine(name, relative);
        if (!line || line->size() > file.size())
            std::abort();
        // Names from a file never lead out of the Recover folder.
        if (store.FindSourceLine(relative, relative) &&
            text::big5::find(relative, '\\') != std::string_view::npos)
            std::abort();
    } catch (const ProgramError&) {
    }
    return 0;
}
