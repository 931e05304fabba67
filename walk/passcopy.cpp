#include "passcopy.h"

#include "targettree.h"

#include "platform/hosterror.h"
#include "text/codepage.h"

#include <cerrno>

namespace walk {
namespace {

const text::Text kNoTargetFolder{u8"目標資料夾無法使用"};

} // namespace

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

platform::CopyResult copyPassFile(const platform::HeldFolder* source, const std::string& from,
                                  const platform::TargetFolder* folder, const std::string& name,
                                  const platform::LinkSource* linkFrom, bool targetIsNew,
                                  CopyFailures& failures) {
    platform::CopyResult result;
    if (!folder) {
        failures.add(from, kNoTargetFolder.str());
        return result;
    }
    if (!source) {
        // Read only through the folder the walk listed, never by its whole path, which may lead
        // elsewhere by now: without a handle (none left to have), the file fails.
        failures.add(from, platform::reasonForError(EMFILE));
        return result;
    }
    result = folder->copyIn(*source, name, name, linkFrom, targetIsNew);
    if (result.status == platform::CopyStatus::Failed)
        failures.add(from, result.reason);
    else if (result.status == platform::CopyStatus::TargetDiffers)
        failures.addDiffering(from);
    return result;
}

} // namespace walk
