#include "targettree.h"

#include <algorithm>

namespace walk {

void TargetTree::open(platform::TargetFolder root, bool madeNow) {
    levels_.clear();
    // Whatever this file system offers now, a run cut short here may have had no unnamed files
    // (a FAT stick, the Windows build, a network share): its temporary names go on entry. A tree
    // this pass makes afresh (a day's first backup) has none, and costs no listing.
    sweep_ = root.isOpen() && !madeNow;
    if (sweep_)
        root.removeStaleTemporaries();
    Level level;
    level.failed = !root.isOpen();
    level.handle = std::move(root);
    levels_.push_back(std::move(level));
}

bool TargetTree::enter(const Folder& folder, std::string& whyNot) {
    whyNot.clear();
    size_t index = static_cast<size_t>(folder.level - 1);
    if (levels_.empty() || index == 0 || index > levels_.size())
        return current() != nullptr; // the root, or a walk this tree does not follow
    levels_.resize(index);           // what lies below the parent belongs to folders already walked
    Level child;
    child.name = folder.name;
    const Level& parent = levels_.back();
    bool refused = std::find(parent.refused.begin(), parent.refused.end(), folder.name) !=
                   parent.refused.end();
    const platform::TargetFolder* parentHandle = refused ? nullptr : handleAt(index - 1);
    if (parentHandle)
        child.handle = parentHandle->openSub(folder.name, whyNot);
    child.failed = !child.handle.isOpen();
    if (!child.failed && sweep_)
        child.handle.removeStaleTemporaries();
    levels_.push_back(std::move(child));
    trim();
    return !levels_.back().failed;
}

const platform::TargetFolder* TargetTree::current() {
    return levels_.empty() ? nullptr : handleAt(levels_.size() - 1);
}

bool TargetTree::makeSub(const std::string& name, std::string& whyNot) {
    whyNot.clear();
    const platform::TargetFolder* folder = current();
    if (folder && folder->makeSub(name, whyNot))
        return true;
    if (folder)
        levels_.back().refused.push_back(name);
    return false;
}

const platform::TargetFolder* TargetTree::handleAt(size_t index) {
    if (levels_[index].failed)
        return nullptr;
    if (levels_[index].handle.isOpen())
        return &levels_[index].handle;
    // Closed to spare handles: opened again the same way, down from the nearest open folder
    // above it, dropping on the way the handles far above it.
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
            levels_[i - 1].handle = platform::TargetFolder();
    }
    trim();
    return &levels_[index].handle;
}

void TargetTree::trim() {
    size_t handles = 0;
    for (const Level& level : levels_)
        handles += level.handle.isOpen();
    // The root and the newest stay open; the oldest of the others go.
    for (size_t i = 1; handles > kMostOpen && i + 1 < levels_.size(); ++i) {
        if (levels_[i].handle.isOpen()) {
            levels_[i].handle = platform::TargetFolder();
            --handles;
        }
    }
}

} // namespace walk
