#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace walk {

// The folders on a walk's path from its root down, held open, each reached from its parent's
// handle by its name (Handle::openSub), never by a whole path, so that nothing the walk opens
// lies outside the folder it began at. A tree deeper than the handles kept open closes those
// far above the current folder and opens them again the same way, from the nearest folder still
// held, when the walk climbs back to them. A folder that cannot be opened has no handle, and
// neither has anything below it.
template <typename Handle> class FolderChain {
public:
    // Handles kept open along the path at most.
    static constexpr size_t kMostOpen = 32;

    void reset(Handle root) {
        levels_.clear();
        Level level;
        level.failed = !root.isOpen();
        level.handle = std::move(root);
        levels_.push_back(std::move(level));
    }
    void clear() { levels_.clear(); }
    // Closes the folder at `index` and those below it: a folder held open cannot be removed on
    // Windows.
    void leave(size_t index) {
        if (levels_.size() > index)
            levels_.resize(index);
    }
    size_t size() const { return levels_.size(); }

    // Goes into the folder `name` of the folder at `index - 1` (0: the root): what lay below that
    // belongs to folders walked already. With `open` false the folder is known to have no handle
    // (its target could not be made, say). The new folder's handle, or nullptr with whyNot (empty
    // when a folder above it failed).
    const Handle* descend(size_t index, const std::string& name, std::string& whyNot,
                          bool open = true) {
        whyNot.clear();
        levels_.resize(index);
        Level child;
        child.name = name;
        const Handle* parent = open ? at(index - 1) : nullptr;
        if (parent)
            child.handle = parent->openSub(name, whyNot);
        child.failed = !child.handle.isOpen();
        levels_.push_back(std::move(child));
        trim();
        return levels_.back().failed ? nullptr : &levels_.back().handle;
    }

    // The handle of the folder at `index` on the path, opened again when it was closed; nullptr
    // when it has none.
    const Handle* at(size_t index) {
        if (levels_[index].failed)
            return nullptr;
        if (levels_[index].handle.isOpen())
            return &levels_[index].handle;
        size_t nearest = index;
        while (nearest > 0 && !levels_[nearest].handle.isOpen())
            --nearest;
        for (size_t i = nearest + 1; i <= index; ++i) {
            std::string whyNot;
            levels_[i].handle = levels_[i - 1].handle.openSub(levels_[i].name, whyNot);
            if (!levels_[i].handle.isOpen()) {
                for (size_t below = i; below <= index; ++below)
                    levels_[below].failed = true;
                return nullptr;
            }
            if (i - 1 > 0 && index - (i - 1) >= kMostOpen)
                levels_[i - 1].handle = Handle(); // far above: dropped on the way down
        }
        trim();
        return &levels_[index].handle;
    }
    const Handle* last() { return levels_.empty() ? nullptr : at(levels_.size() - 1); }

private:
    struct Level {
        std::string name;
        Handle handle;
        bool failed = false;
    };

    void trim() {
        size_t handles = 0;
        for (const Level& level : levels_)
            handles += level.handle.isOpen();
        // The root and the newest stay open; the oldest of the others go.
        for (size_t i = 1; handles > kMostOpen && i + 1 < levels_.size(); ++i) {
            if (levels_[i].handle.isOpen()) {
                levels_[i].handle = Handle();
                --handles;
            }
        }
    }

    std::vector<Level> levels_; // [0] the root, [i] the folder i levels below it on the path
};

} // namespace walk
