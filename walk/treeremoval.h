#pragma once

#include "platform/removalfolder.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace walk {

// What could not be removed, and why (code page 950).
struct RemovalFailure {
    std::string path;
    std::string reason;
};

// Removes the folder `hostName` of `parent` with everything below it, depth first: each folder
// is opened from its parent's handle without following links, its entries removed relative to
// it, and it is removed from its parent once empty. A link (or a folder swapped for one meanwhile)
// is removed itself, so nothing outside the folder is ever touched. However deep the tree, only
// a bounded number of folders is held open. `path` is the folder's program path, for naming
// failures; true when the folder is gone.
bool removeTree(const platform::RemovalFolder& parent, const std::string& hostName,
                const std::string& path, std::vector<RemovalFailure>& failures);

// Removes, in the folder `hostName` of `parent` and every folder below it, the temporary copies
// that runs of the program cut short left behind (platform::isStaleStagingName): nothing else,
// and never what a program that still runs is writing. Folders are opened from their parent's
// handle without following links, and a link is never removed for what it leads to. What could
// not be listed or removed is named in `failures`.
void removeStaleTemporaries(const platform::RemovalFolder& parent, const std::string& hostName,
                            const std::string& path, std::vector<RemovalFailure>& failures);

// What removing trees would free: the files whose every name lies in them.
class SpaceTally {
public:
    // Counts the files below the folder `hostName` of `parent`; a folder that cannot be read is
    // named in `failures`.
    void addTree(const platform::RemovalFolder& parent, const std::string& hostName,
                 const std::string& path, std::vector<RemovalFailure>& failures);
    // The space of the files counted whose names all lie in the trees counted.
    uint64_t freedBytes() const;

private:
    friend struct TallyWalk;
    struct File {
        uint64_t bytes = 0;
        uint64_t links = 1;
        uint64_t namesSeen = 0;
    };
    std::map<std::pair<uint64_t, uint64_t>, File> files_;
};

} // namespace walk
