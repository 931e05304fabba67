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
    trim();
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
    if (levels_[index].failed)
        return nullptr;
    if (levels_[index].handle.IsOpen())
        return &levels_[index].handle;
    // Closed to spare handles: opened again the same way, down from the nearest open folder
    // above it, dropping on the way the handles far above it.
    size_t open = index;
    while (open > 0 && !levels_[open].handle.IsOpen())
        --open;
    for (size_t i = open + 1; i <= index; ++i) {
        std::string whyNot;
        levels_[i].handle = levels_[i - 1].handle.OpenSub(levels_[i].name, whyNot);
        if (!levels_[i].handle.IsOpen()) {
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
    size_t open = 0;
    for (const Level& level : levels_)
        open += level.handle.IsOpen();
    // The root and the newest stay open; the oldest of the others go.
    for (size_t i = 1; open > kMostOpen && i + 1 < levels_.size(); ++i) {
        if (levels_[i].handle.IsOpen()) {
            levels_[i].handle = platform::TargetFolder();
            --open;
        }
    }
}

} // namespace walk
