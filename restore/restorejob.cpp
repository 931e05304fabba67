#include "restorejob.h"

#include "platform/folders.h"
#include "text/big5.h"
#include "text/codepage.h"

#include <algorithm>

namespace restore {
namespace {

const text::Text kRestoring{u8" 正在還原："};

} // namespace

bool createFolderPath(const std::string& folder) {
    if (platform::folderExists(folder))
        return true;
    std::string_view parent = text::big5::beforeLastBackslash(folder);
    if (parent.size() > 2) // above a drive's root
        createFolderPath(std::string(parent));
    return platform::createFolder(folder) || platform::folderExists(folder);
}

std::string folderAbove(const std::string& path, int levels) {
    std::string folder = path;
    for (int i = 0; i < levels; ++i) {
        std::string_view parent = text::big5::beforeLastBackslash(folder);
        if (parent.size() < 3) // the drive's root ("D:") is as high as it goes
            break;
        folder = std::string(parent);
    }
    return folder;
}

// Makes the target where it is missing and opens it as the root of the targets: its path is
// followed through links down to the root the user chose, and nothing below that. A copy pass
// without a target does nothing: never the current drive's root.
bool RestoreJob::copyBegins() {
    const std::string& target = pass_.restoreTarget;
    if (target.empty())
        return false;
    std::string root = pass_.targetRoot;
    if (root.empty() || root.size() > target.size() || !target.starts_with(root) ||
        (root.size() < target.size() && target[root.size()] != '\\'))
        root = target;
    std::string whyNot;
    std::string failed = root;
    createFolderPath(root);
    platform::TargetFolder folder = platform::TargetFolder::open(root, whyNot);
    // The folders between the root and the target, one name at a time.
    for (size_t start = root.size() + 1; folder.isOpen() && start < target.size() + 1;) {
        size_t end = std::min(text::big5::find(target, '\\', start), target.size());
        std::string name = target.substr(start, end - start);
        failed = target.substr(0, end);
        if (folder.makeSub(name, whyNot))
            folder = folder.openSub(name, whyNot);
        else
            folder = platform::TargetFolder();
        start = end + 1;
    }
    return openTargets(std::move(folder), failed, whyNot);
}

void RestoreJob::targetImpossible(const std::string& path, const std::string& reason) {
    channel_.post(
        [path, reason](RestoreView& view) { view.restoreTargetImpossible(path, reason); });
}

void RestoreJob::rootUnreadable() {
    if (pass_.restoreTarget.empty())
        return; // nothing was to be restored
    channel_.post(
        [source = pass_.restoreSource](RestoreView& view) { view.restoreImpossible(source); });
}

void RestoreJob::copyComplete() {
    RestoreReport report{copies_.filesHandled(), copies_.failures(), copies_.filesPresent(),
                         copies_.bytesCopied()};
    channel_.post(
        [report = std::move(report)](RestoreView& view) { view.restoreCompleted(report); });
}

std::string RestoreJob::targetDir(const walk::Folder& folder) const {
    return pass_.restoreTarget + "\\" + folder.relPath;
}

void RestoreJob::describeCopy(RestoreProgress& progress, const std::string& source,
                              const platform::FindData& entry) {
    progress.status = kRestoring.str() + source;
    progress.restoredNames.push_back(entry.name);
}

} // namespace restore
