#include "passcopy.h"

#include "targettree.h"

#include "platform/codepage.h"
#include "platform/hosterror.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

namespace walk {
namespace {

const platform::Text kMore{u8"……"};
const platform::Text kNoTargetFolder{u8"目標資料夾無法使用"};

} // namespace

void CopyFailures::add(std::string path, std::string reason) {
    files_.push_back({std::move(path), std::move(reason), {}});
}

void CopyFailures::addFolder(std::string path, std::string reason) {
    folders_.push_back({std::move(path), std::move(reason), {}});
}

void CopyFailures::addDiffering(std::string path) {
    differing_.push_back({std::move(path), {}, {}});
}

void CopyFailures::nameLastOnHost(std::string hostText) {
    if (!files_.empty())
        files_.back().hostText = std::move(hostText);
}

void CopyFailures::takeFiles(CopyFailures&& other) {
    auto take = [](std::vector<CopyFailure>& into, std::vector<CopyFailure>& from) {
        into.insert(into.end(), std::make_move_iterator(from.begin()),
                    std::make_move_iterator(from.end()));
    };
    take(files_, other.files_);
    take(differing_, other.differing_);
}

int copyWorkers() {
    if (const char* asked = std::getenv("TARNWICK_COPY_WORKERS")) {
        int workers = std::atoi(asked);
        if (workers >= 1 && workers <= 16)
            return workers;
    }
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

namespace {

void describeKind(std::string& text, const std::vector<CopyFailure>& failed,
                  const std::string& before, const std::string& after) {
    if (failed.empty())
        return;
    // Appended piece by piece: GCC 12 at -O2 takes "literal" + string for an overlapping copy.
    text.append("\n\n").append(before).append(std::to_string(failed.size())).append(after);
    size_t named = std::min(failed.size(), CopyFailures::kNamed);
    for (size_t i = 0; i < named; ++i)
        text.append("\n").append(platform::withReason(failed[i].path, failed[i].reason));
    if (failed.size() > named)
        text.append("\n").append(kMore.str());
}

} // namespace

std::string CopyFailures::describe(const FailureWords& words) const {
    std::string text = words.done;
    describeKind(text, files_, words.filesBefore, words.filesAfter);
    describeKind(text, folders_, words.foldersBefore, words.foldersAfter);
    describeKind(text, differing_, words.differingBefore, words.differingAfter);
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

platform::CopyResult copyPassFile(const platform::HeldFolder* source, const std::string& from,
                                  const platform::TargetFolder* folder, const std::string& name,
                                  const platform::TargetFolder* linkFrom, CopyFailures& failures) {
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
    result = folder->copyIn(*source, name, name, linkFrom);
    if (result.status == platform::CopyStatus::Failed)
        failures.add(from, result.reason);
    else if (result.status == platform::CopyStatus::TargetDiffers)
        failures.addDiffering(from);
    return result;
}

} // namespace walk
