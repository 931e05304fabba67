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

void CopyFailures::Add(std::string path, std::string reason) {
    if (named_.size() < kNamed)
        named_.push_back({std::move(path), std::move(reason)});
    ++count_;
}

void CopyFailures::AddFolder(std::string path, std::string reason) {
    if (namedFolders_.size() < kNamed)
        namedFolders_.push_back({std::move(path), std::move(reason)});
    ++folderCount_;
}

namespace {

void describe(std::string& text, int64_t count, const std::vector<CopyFailure>& named,
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

std::string CopyFailures::Describe(const FailureWords& words) const {
    std::string text = words.done;
    describe(text, count_, named_, words.filesBefore, words.filesAfter);
    describe(text, folderCount_, namedFolders_, words.foldersBefore, words.foldersAfter);
    return text;
}

void EnterTarget(TargetTree& targets, const Folder& folder, std::string targetDir,
                 CopyFailures& failures) {
    std::string whyNot;
    if (!targets.Enter(folder, whyNot) && !whyNot.empty()) {
        targetDir.pop_back(); // the trailing backslash
        failures.AddFolder(std::move(targetDir), std::move(whyNot));
    }
}

bool MakeTarget(TargetTree& targets, const std::string& name, const std::string& targetDir,
                CopyFailures& failures) {
    std::string whyNot;
    if (targets.MakeSub(name, whyNot))
        return true;
    if (!whyNot.empty())
        failures.AddFolder(targetDir + name, std::move(whyNot));
    return false;
}

void CopyPassFile(const std::string& from, const platform::TargetFolder* folder,
                  const std::string& name, CopyFailures& failures) {
    if (!folder) {
        failures.Add(from, kNoTargetFolder.str());
        return;
    }
    platform::CopyResult result = folder->CopyIn(from, name);
    if (result.status == platform::CopyStatus::Failed)
        failures.Add(from, std::move(result.reason));
}

} // namespace walk
