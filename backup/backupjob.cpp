#include "backupjob.h"

#include "restorepoint.h"

#include "platform/codepage.h"
#include "platform/folders.h"

#include <chrono>

namespace {

const platform::Text kBackingUp{u8" 正在備份："};

bool sameAsciiName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

BackupJob::BackupJob(BackupView& view) : channel_(view) {}

BackupJob::~BackupJob() = default;

bool BackupJob::stopRequested() const {
    return channel_.Stale();
}

bool BackupJob::RunPass(bool countPass) {
    auto started = std::chrono::steady_clock::now();
    bool complete = runPass(countPass);
    lastPassSeconds_ =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return complete;
}

bool BackupJob::runPass(bool countPass) {
    channel_.BeginPass(); // first: values emptied by a close are then seen, or the pass is stale
    pass_ = Input();
    countPass_ = countPass;
    if (countPass) {
        counts_.Reset();
        ownFolder_ = platform::folderId(backupFolder()); // there from a backup earlier today
    } else {
        folderList_ = pass_.sourceDir + "\n";
        filesCopied_ = 0;
        report_ = CopyReport{};
        if (!platform::folderCanBeEntered(pass_.sourceDir)) {
            channel_.Post(
                [source = pass_.sourceDir](BackupView& view) { view.CopyImpossible(source); });
            return false;
        }
        if (!openCopyRoot())
            return false;
    }
    walk::WalkResult walked = walk::WalkTree(pass_.sourceDir, *this);
    targets_.Close();
    channel_.Flush();
    if (walked == walk::WalkResult::RootUnreadable && !countPass)
        channel_.Post(
            [source = pass_.sourceDir](BackupView& view) { view.CopyImpossible(source); });
    if (walked != walk::WalkResult::Complete || countPass)
        return walked == walk::WalkResult::Complete;

    channel_.Post([](BackupView& view) { view.CompletionStarted(); });
    report_.filesHandled = filesCopied_;
    RestorePointResult recorded =
        CreateRestorePoint({pass_.settingsFilePath, pass_.destDir, pass_.backupName,
                            pass_.sourceName, pass_.recordCount, folderList_});
    report_.restorePoint = recorded.number;
    report_.storeFailure = std::move(recorded.failure);
    channel_.PostAnyway([report = report_](BackupView& view, bool current) {
        view.CompletionDone(report, current);
    });
    return true;
}

// Makes the backup folder and the copy of the source folder in it, and opens the copy as the
// root of the targets. Below the destination nothing is reached through a link.
bool BackupJob::openCopyRoot() {
    std::string whyNot;
    std::string failed = pass_.destDir;
    platform::TargetFolder destination = platform::TargetFolder::Open(pass_.destDir, whyNot);
    platform::TargetFolder backup;
    platform::TargetFolder copy;
    if (destination.IsOpen()) {
        failed = backupFolder();
        if (destination.MakeSub(pass_.backupName, whyNot))
            backup = destination.OpenSub(pass_.backupName, whyNot);
    }
    if (backup.IsOpen()) {
        ownFolder_ = backup.Id();
        failed = backupFolder() + "\\" + pass_.sourceName;
        if (backup.MakeSub(pass_.sourceName, whyNot))
            copy = backup.OpenSub(pass_.sourceName, whyNot);
    }
    if (!copy.IsOpen()) {
        channel_.Post(
            [failed, whyNot](BackupView& view) { view.BackupFolderImpossible(failed, whyNot); });
        return false;
    }
    targets_.Open(std::move(copy));
    return true;
}

std::string BackupJob::backupFolder() const {
    return pass_.destDir + "\\" + pass_.backupName;
}

std::string BackupJob::targetDir(const walk::Folder& folder) const {
    return backupFolder() + "\\" + pass_.sourceName + "\\" + folder.relPath;
}

bool BackupJob::walksInto(const walk::Folder& folder, const std::string& name) {
    // Only a folder of the backup's own name can be it; the look at the disk is for those.
    if (!ownFolder_ || !sameAsciiName(name, pass_.backupName))
        return true;
    return platform::folderId(folder.path + "\\" + name) != ownFolder_;
}

void BackupJob::enterFolder(const walk::Folder& folder) {
    if (!countPass_)
        walk::EnterTarget(targets_, folder, targetDir(folder), report_.failures);
}

void BackupJob::folderUnreadable(const std::string& path, const std::string& reason) {
    if (!countPass_)
        report_.failures.AddFolder(path, reason);
}

void BackupJob::file(const walk::Folder& folder, const platform::FindData& entry) {
    if (countPass_) {
        counts_.AddFile(entry.size);
        return;
    }
    std::string source = folder.path + "\\" + entry.name;
    walk::CopyPassFile(source, targets_.Current(), entry.name, report_.failures);
    ++filesCopied_;
    BackupProgress progress;
    progress.sizeText = sizeText();
    progress.fileTotal = counts_.Files();
    progress.position = filesCopied_;
    progress.status = kBackingUp.str() + source;
    channel_.Publish(std::move(progress));
}

void BackupJob::subFolder(const walk::Folder& folder, const std::string& name) {
    if (countPass_)
        return;
    // The folder list holds only folders that exist in the backup.
    if (walk::MakeTarget(targets_, name, targetDir(folder), report_.failures))
        folderList_ += folder.path + "\\" + name + "\n";
}

void BackupJob::folderScanned(const walk::Folder&) {
    BackupProgress progress;
    progress.sizeText = sizeText();
    progress.fileTotal = counts_.Files();
    if (!countPass_)
        progress.position = filesCopied_;
    channel_.Publish(std::move(progress));
}

std::string BackupJob::sizeText() const {
    return counts_.SizeText();
}
