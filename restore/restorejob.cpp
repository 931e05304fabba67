#include "restorejob.h"

#include "platform/big5.h"
#include "platform/codepage.h"
#include "platform/folders.h"

#include <algorithm>

namespace {

const platform::Text kRestoring{u8" 正在還原："};

} // namespace

bool CreateFolderPath(const std::string& folder) {
    if (platform::folderExists(folder))
        return true;
    std::string_view parent = big5::beforeLastBackslash(folder);
    if (parent.size() > 2) // above a drive's root
        CreateFolderPath(std::string(parent));
    return platform::createFolder(folder) || platform::folderExists(folder);
}

std::string FolderAbove(const std::string& path, int levels) {
    std::string folder = path;
    for (int i = 0; i < levels; ++i) {
        std::string_view parent = big5::beforeLastBackslash(folder);
        if (parent.size() < 3) // the drive's root ("D:") is as high as it goes
            break;
        folder = std::string(parent);
    }
    return folder;
}

bool RestoreJob::RunPass(bool countPass) {
    channel_.BeginPass(); // first: values emptied by a close are then seen, or the pass is stale
    pass_ = Input();
    countPass_ = countPass;
    if (countPass) {
        counts_.Reset();
        ++countPasses_;
    } else {
        if (pass_.restoreTarget.empty())
            return false; // nowhere known to restore to: never the current drive's root
        filesCopied_ = 0;
        report_ = RestoreReport{};
        if (!platform::folderCanBeEntered(pass_.restoreSource)) {
            channel_.Post([source = pass_.restoreSource](RestoreView& view) {
                view.RestoreImpossible(source);
            });
            return false;
        }
        if (!openTarget())
            return false;
    }
    walk::WalkResult walked = walk::WalkTree(pass_.restoreSource, *this);
    targets_.Close();
    channel_.Flush();
    if (walked == walk::WalkResult::RootUnreadable && !countPass)
        channel_.Post(
            [source = pass_.restoreSource](RestoreView& view) { view.RestoreImpossible(source); });
    if (walked != walk::WalkResult::Complete)
        return false;
    if (!countPass) {
        report_.filesHandled = filesCopied_;
        channel_.Post([report = report_](RestoreView& view) { view.RestoreCompleted(report); });
    }
    return true;
}

// Makes the target where it is missing and opens it as the root of the targets: its path is
// followed through links down to the root the user chose, and nothing below that.
bool RestoreJob::openTarget() {
    const std::string& target = pass_.restoreTarget;
    std::string root = pass_.targetRoot;
    if (root.empty() || root.size() > target.size() || !target.starts_with(root) ||
        (root.size() < target.size() && target[root.size()] != '\\'))
        root = target;
    std::string whyNot;
    std::string failed = root;
    CreateFolderPath(root);
    platform::TargetFolder folder = platform::TargetFolder::Open(root, whyNot);
    // The folders between the root and the target, one name at a time.
    for (size_t start = root.size() + 1; folder.IsOpen() && start < target.size() + 1;) {
        size_t end = std::min(big5::find(target, '\\', start), target.size());
        std::string name = target.substr(start, end - start);
        failed = target.substr(0, end);
        if (folder.MakeSub(name, whyNot))
            folder = folder.OpenSub(name, whyNot);
        else
            folder = platform::TargetFolder();
        start = end + 1;
    }
    if (!folder.IsOpen()) {
        channel_.Post(
            [failed, whyNot](RestoreView& view) { view.TargetImpossible(failed, whyNot); });
        return false;
    }
    targets_.Open(std::move(folder));
    return true;
}

std::string RestoreJob::targetDir(const walk::Folder& folder) const {
    return pass_.restoreTarget + "\\" + folder.relPath;
}

RestoreProgress RestoreJob::progress() const {
    RestoreProgress progress;
    progress.sizeText = counts_.SizeText();
    progress.fileTotal = counts_.Files();
    return progress;
}

void RestoreJob::enterFolder(const walk::Folder& folder) {
    if (!countPass_)
        walk::EnterTarget(targets_, folder, targetDir(folder), report_.failures);
}

void RestoreJob::folderUnreadable(const std::string& path, const std::string& reason) {
    if (!countPass_)
        report_.failures.AddFolder(path, reason);
}

void RestoreJob::file(const walk::Folder& folder, const platform::FindData& entry) {
    if (countPass_) {
        counts_.AddFile(entry.size);
        return;
    }
    std::string source = folder.path + "\\" + entry.name;
    walk::CopyPassFile(source, targets_.Current(), entry.name, report_.failures);
    ++filesCopied_;
    RestoreProgress update = progress();
    update.position = filesCopied_;
    update.status = kRestoring.str() + source;
    update.restoredNames.push_back(entry.name);
    channel_.Publish(std::move(update));
}

void RestoreJob::subFolder(const walk::Folder& folder, const std::string& name) {
    if (!countPass_)
        walk::MakeTarget(targets_, name, targetDir(folder), report_.failures);
}

void RestoreJob::folderScanned(const walk::Folder&) {
    RestoreProgress update = progress();
    if (!countPass_)
        update.position = filesCopied_;
    channel_.Publish(std::move(update));
}
