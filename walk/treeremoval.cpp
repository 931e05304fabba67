#include "treeremoval.h"

#include "folderchain.h"

#include "platform/hosterror.h"
#include "platform/stagingname.h"

#include <cerrno>

namespace walk {
namespace {

using RemovalChain = FolderChain<platform::RemovalFolder>;
using platform::RemovalEntry;
using platform::RemovalFolder;

std::string reasonOr(const std::string& whyNot, int error) {
    return whyNot.empty() ? platform::reasonForError(error) : whyNot;
}

std::string entryPath(const std::string& folder, const RemovalEntry& entry) {
    return folder + "\\" + RemovalFolder::programNameOf(entry.hostName);
}

bool removeFolder(RemovalChain& chain, size_t depth, const std::string& hostName,
                  const std::string& path, std::vector<RemovalFailure>& failures);

// Removes every entry of the folder at `depth` of the chain.
bool removeEntries(RemovalChain& chain, size_t depth, const std::string& path,
                   std::vector<RemovalFailure>& failures) {
    std::vector<RemovalEntry> entries;
    std::string whyNot;
    const RemovalFolder* folder = chain.at(depth);
    if (!folder || !folder->list(entries, false, whyNot)) {
        failures.push_back({path, reasonOr(whyNot, ENOENT)});
        return false;
    }
    bool all = true;
    for (const RemovalEntry& entry : entries) {
        if (entry.folder) {
            all =
                removeFolder(chain, depth + 1, entry.hostName, entryPath(path, entry), failures) &&
                all;
            continue;
        }
        folder = chain.at(depth); // the chain may have closed it on the way down
        int error = folder ? folder->remove(entry.hostName, false) : ENOENT;
        if (error) {
            failures.push_back({entryPath(path, entry), platform::reasonForError(error)});
            all = false;
        }
    }
    return all;
}

// Removes the folder `hostName` of the folder at `depth - 1` of the chain, and what it holds.
bool removeFolder(RemovalChain& chain, size_t depth, const std::string& hostName,
                  const std::string& path, std::vector<RemovalFailure>& failures) {
    std::string whyNot;
    if (!chain.descend(depth, hostName, whyNot)) {
        // A link or a file where the folder was listed: it goes itself, never what it leads to.
        // A folder that cannot be opened is refused here (EISDIR) and named with its reason.
        const RemovalFolder* parent = chain.at(depth - 1);
        if (parent && parent->remove(hostName, false) == 0)
            return true;
        failures.push_back({path, reasonOr(whyNot, ENOENT)});
        return false;
    }
    bool emptied = removeEntries(chain, depth, path, failures);
    chain.leave(depth);
    if (!emptied)
        return false;
    const RemovalFolder* parent = chain.at(depth - 1);
    int error = parent ? parent->remove(hostName, true) : ENOENT;
    if (error) {
        failures.push_back({path, platform::reasonForError(error)});
        return false;
    }
    return true;
}

} // namespace

bool removeTree(const RemovalFolder& parent, const std::string& hostName, const std::string& path,
                std::vector<RemovalFailure>& failures) {
    RemovalChain chain;
    chain.reset(parent.duplicate());
    if (!chain.at(0)) {
        failures.push_back({path, platform::reasonForError(EMFILE)});
        return false;
    }
    return removeFolder(chain, 1, hostName, path, failures);
}

struct SweepWalk {
    std::vector<RemovalFailure>& failures;
    RemovalChain chain;

    void sweep(size_t depth, const std::string& path) {
        std::vector<RemovalEntry> entries;
        std::string whyNot;
        const RemovalFolder* folder = chain.at(depth);
        if (!folder || !folder->list(entries, false, whyNot)) {
            failures.push_back({path, reasonOr(whyNot, ENOENT)});
            return;
        }
        for (const RemovalEntry& entry : entries) {
            if (entry.folder) {
                if (chain.descend(depth + 1, entry.hostName, whyNot))
                    sweep(depth + 1, entryPath(path, entry));
                else
                    failures.push_back({entryPath(path, entry), reasonOr(whyNot, ENOENT)});
                continue;
            }
            if (!platform::isStaleStagingName(entry.hostName))
                continue;
            folder = chain.at(depth); // the chain may have closed it on the way down
            int error = folder ? folder->remove(entry.hostName, false) : ENOENT;
            if (error && error != ENOENT) // gone already: what the sweep wanted
                failures.push_back({entryPath(path, entry), platform::reasonForError(error)});
        }
    }
};

void removeStaleTemporaries(const RemovalFolder& parent, const std::string& hostName,
                            const std::string& path, std::vector<RemovalFailure>& failures) {
    SweepWalk walk{failures, {}};
    walk.chain.reset(parent.duplicate());
    std::string whyNot;
    if (!walk.chain.descend(1, hostName, whyNot)) {
        failures.push_back({path, reasonOr(whyNot, ENOENT)});
        return;
    }
    walk.sweep(1, path);
}

struct TallyWalk {
    SpaceTally& tally;
    std::vector<RemovalFailure>& failures;
    RemovalChain chain;

    void count(size_t depth, const std::string& path) {
        std::vector<RemovalEntry> entries;
        std::string whyNot;
        const RemovalFolder* folder = chain.at(depth);
        if (!folder || !folder->list(entries, true, whyNot)) {
            failures.push_back({path, reasonOr(whyNot, ENOENT)});
            return;
        }
        for (const RemovalEntry& entry : entries) {
            if (!entry.folder) {
                SpaceTally::File& file = tally.files_[{entry.file.volume, entry.file.file}];
                file.bytes = entry.bytes;
                file.links = entry.links;
                ++file.namesSeen;
            } else if (chain.descend(depth + 1, entry.hostName, whyNot)) {
                count(depth + 1, entryPath(path, entry));
            } else {
                failures.push_back({entryPath(path, entry), reasonOr(whyNot, ENOENT)});
            }
        }
    }
};

void SpaceTally::addTree(const RemovalFolder& parent, const std::string& hostName,
                         const std::string& path, std::vector<RemovalFailure>& failures) {
    TallyWalk walk{*this, failures, {}};
    walk.chain.reset(parent.duplicate());
    std::string whyNot;
    if (!walk.chain.descend(1, hostName, whyNot)) {
        failures.push_back({path, reasonOr(whyNot, ENOENT)});
        return;
    }
    walk.count(1, path);
}

uint64_t SpaceTally::freedBytes() const {
    uint64_t bytes = 0;
    for (const auto& [key, file] : files_)
        if (file.namesSeen >= file.links)
            bytes += file.bytes;
    return bytes;
}

} // namespace walk
