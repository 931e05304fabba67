#include "restorejob.h"

#include "platform/big5.h"
#include "platform/codepage.h"
#include "platform/folders.h"

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
        CreateFolderPath(pass_.restoreTarget);
        filesCopied_ = 0;
        report_ = RestoreReport{};
    }
    walk::WalkResult walked = walk::WalkTree(pass_.restoreSource, *this);
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

int RestoreJob::ScanFolder(const std::string& path, int level, const std::string& relPath) {
    return walk::ScanFolder(path, level, relPath, *this);
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

void RestoreJob::file(const walk::Folder& folder, const platform::FindData& entry) {
    if (countPass_) {
        counts_.AddFile(entry.size);
        return;
    }
    std::string source = folder.path + "\\" + entry.name;
    walk::CopyPassFile(source, targetDir(folder) + entry.name, report_.failures);
    ++filesCopied_;
    RestoreProgress update = progress();
    update.position = filesCopied_;
    update.status = kRestoring.str() + source;
    update.restoredNames.push_back(entry.name);
    channel_.Publish(std::move(update));
}

void RestoreJob::subFolder(const walk::Folder& folder, const std::string& name) {
    if (!countPass_)
        platform::createFolder(targetDir(folder) + name);
}

void RestoreJob::folderScanned(const walk::Folder&) {
    RestoreProgress update = progress();
    if (!countPass_)
        update.position = filesCopied_;
    channel_.Publish(std::move(update));
}
