#pragma once

#include "folderchain.h"
#include "folderwalk.h"

#include "platform/targetfolder.h"

#include <string>

namespace walk {

// The copy of the walked tree in an earlier backup, followed along the walk's path: for the
// folder the walk is in, its copy there, when it has one. Opened only, never made or written,
// and reached like the targets, one name at a time from the copy's root, never through a link.
// What a run cut short left there (a later run the same day, killed while it copied under
// temporary names) is swept as each folder is opened, once, as the folders of today's copy are.
class EarlierTree {
public:
    void open(platform::TargetFolder root) {
        root.removeStaleTemporaries();
        chain_.reset(std::move(root));
    }
    void close() { chain_.clear(); }
    bool isOpen() { return chain_.size() > 0; }

    // The walk enters a folder: its earlier copy, or nullptr when there is none.
    const platform::TargetFolder* enter(const Folder& folder) {
        size_t index = static_cast<size_t>(folder.level - 1);
        if (chain_.size() == 0 || index > chain_.size())
            return nullptr;
        if (index == 0)
            return chain_.at(0);
        std::string whyNot; // a folder missing there is copied: there is nothing to tell
        const platform::TargetFolder* copy = chain_.descend(index, folder.name, whyNot);
        if (copy)
            copy->removeStaleTemporaries();
        return copy;
    }

private:
    FolderChain<platform::TargetFolder> chain_;
};

} // namespace walk
