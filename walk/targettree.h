#pragma once

#include "folderwalk.h"

#include "platform/targetfolder.h"

#include <string>
#include <vector>

namespace walk {

// The target folders of a copy pass, held open along the walk's path and reached downwards from
// the copy's root one name at a time, never through a link. A folder whose target cannot be made
// or opened has none, and neither has anything below it: nothing is written there. Every target
// that was there before the pass loses, as the pass enters it, the temporary files a run cut
// short left there, whatever the file system offers now: that run may have had no unnamed files.
class TargetTree {
public:
    // The copy's root: the target of the walk's level 1. madeNow: this pass made it, so that
    // everything below it is made by the pass too, and nothing there is swept.
    void open(platform::TargetFolder root, bool madeNow = false);
    void close() { levels_.clear(); }

    // The walk enters a folder: its target becomes the current one. False when it has none;
    // whyNot then tells why, or is empty when that is already known (a folder above it failed,
    // or MakeSub refused it).
    bool enter(const Folder& folder, std::string& whyNot);
    // The current folder's target, or nullptr when it has none.
    const platform::TargetFolder* current();
    // Makes the sub-folder in the current target. False when it cannot; whyNot as for Enter.
    bool makeSub(const std::string& name, std::string& whyNot);

private:
    // Handles kept open along the path at most: a tree deeper than this reopens its upper
    // folders when the walk climbs back to them.
    static constexpr size_t kMostOpen = 32;

    struct Level {
        std::string name;
        platform::TargetFolder handle;
        bool failed = false;
        std::vector<std::string> refused; // sub-folders MakeSub could not make
    };

    const platform::TargetFolder* handleAt(size_t index);
    void trim();

    std::vector<Level> levels_; // [0] the root, [i] the folder at walk level i + 1 on the path
    bool sweep_ = false;        // the folders were there before the pass: sweep each on entry
};

} // namespace walk
