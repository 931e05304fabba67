#include "passcopy.h"

#include "targettree.h"

#include "platform/codepage.h"

namespace walk {
namespace {

const platform::Text kMore{u8"……"};
const platform::Text kOpenParen{u8"（"};
const platform::Text kCloseParen{u8"）"};
const platform::Text kNoTargetFolder{u8"目標資料夾無法使用"};

} // namespace

void CopyFailures::add(std::string path, std::string reason) {
    if (named_.size() < kNamed)
        named_.push_back({std::move(path), std::move(reason)});
    ++count_;
}

void CopyFailures::addFolder(std::string path, std::string reason) {
    if (namedFolders_.size() < kNamed)
        namedFolders_.push_back({std::move(path), std::move(reason)});
    ++folderCount_;
}

namespace {

void describeKind(std::string& text, int64_t count, const std::vector<CopyFailure>& named,
                  const std::string& before, const std::string& after) {
    if (count == 0)
        return;
    text += "\n\n" + before + std::to_string(count) + after;
    for (const CopyFailure& failure : named)
        text += "\n" + failure.path + kOpenParen.str() + failure.reason + kCloseParen.str();
    if (count > static_cast<int64_t>(named.size()))
        text += "\n" + kMore.str();
}

} // namespace

std::string CopyFailures::describe(const FailureWords& words) const {
    std::string text = words.done;
    describeKind(text, count_, named_, words.filesBefore, words.filesAfter);
    describeKind(text, folderCount_, namedFolders_, words.foldersBefore, words.foldersAfter);
    return text;
}

void enterTarget(TargetTree& targets, const Folder& folder, std::string targetDir,
                 CopyFailures& failures) {
    std::string whyNot;
    if (!targets.enter(folder, whyNot) && !whyNot.empty()) {
        targetDir.pop_back(); // the trailing backslash
        failures.addFolder(std::move(targetDir), std::move(whyNot));
    }
}

bool makeTarget(TargetTree& targets, const std::string& name, const std::string& targetDir,
                CopyFailures& failures) {
    std::string whyNot;
    if (targets.makeSub(name, whyNot))
        return true;
    if (!whyNot.empty())
        failures.addFolder(targetDir + name, std::move(whyNot));
    return false;
}

void copyPassFile(const std::string& from, const platform::TargetFolder* folder,
                  const std::string& name, CopyFailures& failures) {
    if (!folder) {
        failures.add(from, kNoTargetFolder.str());
        return;
    }
    platform::CopyResult result = folder->copyIn(from, name);
    if (result.status == platform::CopyStatus::Failed)
        failures.add(from, std::move(result.reason));
}

} // namespace walk
