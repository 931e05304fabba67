#pragma once

#include "folderchain.h"
#include "folderwalk.h"

#include "platform/targetfolder.h"

#include <string>
#include <vector>

namespace walk {

// The target folders of a copy pass, held open along the walk's path and reached downwards from
// the copy's root one name at a time, never through a link. A folder whose target cannot be made
// or opened has none, and neither has anything below it: nothing is written there.
class TargetTree {
public:
    // The copy's root: the target of the walk's level 1. madeNow: this pass made it, so that
    // everything below it is made by the pass too, and nothing there is swept.
    void open(platform::TargetFolder root, bool madeNow = false);
    void close() {
        chain_.clear();
        refused_.clear();
        madeIn_.clear();
        made_.clear();
    }

    // The walk enters a folder: its target becomes the current one. False when it has none;
    // whyNot then tells why, or is empty when that is already known (a folder above it failed,
    // or MakeSub refused it).
    bool enter(const Folder& folder, std::string& whyNot);
    // The current folder's target, or nullptr when it has none.
    const platform::TargetFolder* current();
    // Makes the sub-folder in the current target. False when it cannot; whyNot as for Enter.
    bool makeSub(const std::string& name, std::string& whyNot);
    // Every target folder was made by this pass: only what the pass itself copies is in them,
    // and what another program puts there meanwhile.
    bool madeByThisPass() const { return !sweep_; }
    // The current folder's target was made by this pass (it, or a folder above it).
    bool currentMadeByThisPass() const { return !made_.empty() && made_.back(); }

private:
    FolderChain<platform::TargetFolder> chain_;
    std::vector<std::vector<std::string>> refused_; // per folder on the path: what MakeSub could
                                                    // not make there
    std::vector<std::vector<std::string>> madeIn_;  // per folder on the path: what MakeSub made
    std::vector<bool> made_;                        // per folder on the path: made by this pass
    bool sweep_ = false; // the folders were there before the pass: sweep each on entry
};

} // namespace walk
