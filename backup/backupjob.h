#pragma once

#include "restorepoint.h"
#include "walk/passjob.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace backup {

// The values one backup works with, fixed when the dialog is prepared.
struct BackupJobInput {
    std::string sourceDir;
    std::string destDir;
    std::string backupName;
    std::string sourceName;
    std::optional<store::BackupStore> store; // where the restore point is recorded
    int recordCount = 0;
    // A file unchanged since the last backup of the source into the destination is linked to
    // its copy there rather than copied again (the command line's --full-copy copies them all).
    bool linkUnchanged = true;

    bool operator==(const BackupJobInput&) const = default;
};

using BackupProgress = walk::PassProgress;

// How a completed copy pass went.
struct CopyReport {
    int64_t filesHandled = 0;
    int64_t filesPresent = 0; // of those handled: there already, left as they were
    int64_t filesLinked = 0;  // of those handled: unchanged, linked to the last backup's copy
    uint64_t bytesCopied = 0;
    walk::CopyFailures failures;
    int restorePoint = 0;
    std::optional<StoreFailure> storeFailure; // the restore point could not be recorded

    // Of the files handled, those copied anew.
    int64_t filesCopied() const {
        return filesHandled - filesPresent - filesLinked - failures.differingCount() -
               failures.count();
    }
};

// The dialog side of a backup, called on the user-interface thread.
class BackupView {
public:
    virtual ~BackupView() = default;
    virtual void showProgress(const BackupProgress& progress) = 0;
    // The copy pass has handled every entry; the restore point is being recorded.
    virtual void completionStarted() = 0;
    // The restore point is recorded. `current`: the showing that started the copy still runs.
    virtual void completionDone(const CopyReport& report, bool current) = 0;
    // The copy pass found no source folder to copy.
    virtual void copyImpossible(const std::string& sourceDir) = 0;
    // The copy pass could not make (or use) the backup folder or the copy of the source folder
    // in it; nothing was copied and nothing recorded.
    virtual void backupFolderImpossible(const std::string& path, const std::string& reason) = 0;
};

// The backup job: the count pass and the copy pass over the source tree, run on the worker
// thread; what they find is posted to the view on the user-interface thread. Its own part is
// the backup folder, the folder list, and the restore point that completes it.
class BackupJob : public walk::PassJob<BackupJobInput, BackupProgress, BackupView> {
public:
    explicit BackupJob(BackupView& view) : PassJob(view) {}

private:
    const std::string& root() const override { return pass_.sourceDir; }
    void countBegins() override;
    bool copyBegins() override;
    void targetImpossible(const std::string& path, const std::string& reason) override;
    void rootUnreadable() override;
    void copyComplete() override;
    std::string targetDir(const walk::Folder& folder) const override;
    void folderMade(const walk::Folder& folder, const std::string& name) override;
    void describeCopy(BackupProgress& progress, const std::string& source,
                      const platform::FindData& entry) override;
    bool walksInto(const walk::Folder& folder, const std::string& name) override;

    std::string backupFolder() const;
    void findBackupFolders();
    void sweepUnrecordedBackups();
    platform::TargetFolder openEarlierCopy(const platform::TargetFolder& destination) const;

    // A dated backup folder of the destination, left out of the walk when it lies inside the
    // source: today's and every earlier one the catalog records.
    struct BackupFolder {
        std::string name;
        platform::FolderId id;
        std::string pointNumber; // of its catalog record; empty for today's folder
    };

    std::string folderList_;
    platform::TargetFolder backupHeld_; // the backup folder of the copy pass
    std::vector<BackupFolder> backupFolders_;
    bool catalogRead_ = false; // by the last findBackupFolders
};

} // namespace backup
