#include "targettree.h"

#include <algorithm>

namespace walk {

void TargetTree::open(platform::TargetFolder root, bool madeNow) {
    // Whatever this file system offers now, a run cut short here may have had no unnamed files
    // (a FAT stick, the Windows build, a network share): its temporary names go on entry. A tree
    // this pass makes afresh (a day's first backup) has none, and costs no listing.
    sweep_ = root.isOpen() && !madeNow;
    if (sweep_)
        root.removeStaleTemporaries();
    chain_.reset(std::move(root));
    refused_.assign(1, {});
    madeIn_.assign(1, {});
    made_.assign(1, madeNow);
}

bool TargetTree::enter(const Folder& folder, std::string& whyNot) {
    whyNot.clear();
    size_t index = static_cast<size_t>(folder.level - 1);
    if (chain_.size() == 0 || index == 0 || index > chain_.size())
        return current() != nullptr; // the root, or a walk this tree does not follow
    const std::vector<std::string>& parentRefused = refused_[index - 1];
    bool refused =
        std::find(parentRefused.begin(), parentRefused.end(), folder.name) != parentRefused.end();
    const platform::TargetFolder* child = chain_.descend(index, folder.name, whyNot, !refused);
    refused_.resize(index);
    refused_.emplace_back();
    const std::vector<std::string>& parentMade = madeIn_[index - 1];
    bool made = made_[index - 1] ||
                std::find(parentMade.begin(), parentMade.end(), folder.name) != parentMade.end();
    madeIn_.resize(index);
    madeIn_.emplace_back();
    made_.resize(index);
    made_.push_back(made);
    if (child && sweep_)
        child->removeStaleTemporaries();
    return child != nullptr;
}

const platform::TargetFolder* TargetTree::current() {
    return chain_.last();
}

bool TargetTree::makeSub(const std::string& name, std::string& whyNot) {
    whyNot.clear();
    const platform::TargetFolder* folder = current();
    bool madeNow = false;
    if (folder && folder->makeSub(name, whyNot, &madeNow)) {
        if (madeNow)
            madeIn_.back().push_back(name);
        return true;
    }
    if (folder)
        refused_.back().push_back(name);
    return false;
}

} // namespace walk
