#include "targettree.h"

#include <algorithm>

namespace walk {

void TargetTree::Open(platform::TargetFolder root) {
    levels_.clear();
    sweep_ = root.IsOpen() && !root.TakesUnnamedFiles();
    if (sweep_)
        root.RemoveStaleTemporaries();
    Level level;
    level.failed = !root.IsOpen();
    level.handle = std::move(root);
    levels_.push_back(std::move(level));
}

bool TargetTree::Enter(const Folder& folder, std::string& whyNot) {
    whyNot.clear();
    size_t index = static_cast<size_t>(folder.level - 1);
    if (levels_.empty() || index == 0 || index > levels_.size())
        return Current() != nullptr; // the root, or a walk this tree does not follow
    levels_.resize(index);           // what lies below the parent belongs to folders already walked
    Level child;
    child.name = folder.name;
    const Level& parent = levels_.back();
    bool refused = std::find(parent.refused.begin(), parent.refused.end(), folder.name) !=
                   parent.refused.end();
    const platform::TargetFolder* parentHandle = refused ? nullptr : handleAt(index - 1);
    if (parentHandle)
        child.handle = parentHandle->OpenSub(folder.name, whyNot);
    child.failed = !child.handle.IsOpen();
    if (!child.failed && sweep_)
        child.handle.RemoveStaleTemporaries();
    levels_.push_back(std::move(child));
    closeOneAbove(index);
    return !levels_.back().failed;
}

const platform::TargetFolder* TargetTree::Current() {
    return levels_.empty() ? nullptr : handleAt(levels_.size() - 1);
}

bool TargetTree::MakeSub(const std::string& name, std::string& whyNot) {
    whyNot.clear();
    const platform::TargetFolder* current = Current();
    if (current && current->MakeSub(name, whyNot))
        return true;
    if (current)
        levels_.back().refused.push_back(name);
    return false;
}

const platform::TargetFolder* TargetTree::handleAt(size_t index) {
    Level& level = levels_[index];
    if (level.failed)
        return nullptr;
    if (!level.handle.IsOpen()) {
        // Closed to spare handles: opened again the same way, from its parent.
        const platform::TargetFolder* parent = index > 0 ? handleAt(index - 1) : nullptr;
        std::string whyNot;
        if (parent)
            level.handle = parent->OpenSub(level.name, whyNot);
        level.failed = !level.handle.IsOpen();
        if (level.failed)
            return nullptr;
    }
    return &level.handle;
}

void TargetTree::closeOneAbove(size_t index) {
    size_t open = 0;
    for (const Level& level : levels_)
        open += level.handle.IsOpen();
    if (open <= kMostOpen)
        return;
    // The root and the newest stay open; the oldest of the others goes.
    for (size_t i = 1; i < index; ++i) {
        if (levels_[i].handle.IsOpen()) {
            levels_[i].handle = platform::TargetFolder();
            return;
        }
    }
}

} // namespace walk
