#include "backupjob.h"

#include "restorepoint.h"


#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/uithread.h"

#include <chrono>
#include <cstdio>

namespace {

const platform::Text kBackingUp{u8" 正在備份："};

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
    } else {
        // The backup folder and the copy of the source folder itself.
        platform::createFolder(pass_.destDir + "\\" + pass_.backupName);
        platform::createFolder(pass_.destDir + "\\" + pass_.backupName + "\\" + pass_.sourceName);
        folderList_ = pass_.sourceDir + "\n";
        filesCopied_ = 0;
        report_ = CopyReport{};
    }
    walk::WalkResult walked = walk::WalkTree(pass_.sourceDir, *this);
    channel_.Flush();
    if (walked == walk::WalkResult::RootUnreadable && !countPass)
        channel_.Post(
            [source = pass_.sourceDir](BackupView& view) { view.CopyImpossible(source); });
    if (walked != walk::WalkResult::Complete || countPass)
        return walked == walk::WalkResult::Complete;

    channel_.Post([](BackupView& view) { view.CompletionStarted(); });
    report_.filesHandled = filesCopied_;
    report_.restorePoint =
        CreateRestorePoint({pass_.settingsFilePath, pass_.destDir, pass_.backupName,
                            pass_.sourceName, pass_.recordCount, folderList_});
    channel_.Post([report = report_](BackupView& view) { view.CompletionDone(report); });
    return true;
}

int BackupJob::ScanFolder(const std::string& path, int level, const std::string& relPath) {
    return walk::ScanFolder(path, level, relPath, *this);
}

std::string BackupJob::targetDir(const walk::Folder& folder) const {
    return pass_.destDir + "\\" + pass_.backupName + "\\" + pass_.sourceName + "\\" +
           folder.relPath;
}

void BackupJob::file(const walk::Folder& folder, const platform::FindData& entry) {
    if (countPass_) {
        counts_.AddFile(entry.size);
        return;
    }
    std::string source = folder.path + "\\" + entry.name;
    walk::CopyPassFile(source, targetDir(folder) + entry.name, report_.failures);
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
    platform::createFolder(targetDir(folder) + name);
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
