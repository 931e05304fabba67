#pragma once

#include "restorepoint.h"
#include "walk/folderwalk.h"
#include "walk/jobchannel.h"
#include "walk/passcopy.h"
#include "walk/passstate.h"
#include "walk/targettree.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The values one backup works with, fixed when the dialog is prepared.
struct BackupJobInput {
    std::string sourceDir;
    std::string destDir;
    std::string backupName;
    std::string sourceName;
    std::string settingsFilePath;
    int recordCount = 0;
};

using BackupProgress = walk::PassProgress;

// How a completed copy pass went.
struct CopyReport {
    int64_t filesHandled = 0;
    walk::CopyFailures failures;
    int restorePoint = 0;
    std::optional<StoreFailure> storeFailure; // the restore point could not be recorded
};

// The dialog side of a backup, called on the user-interface thread.
class BackupView {
public:
    virtual ~BackupView() = default;
    virtual void ShowProgress(const BackupProgress& progress) = 0;
    // The copy pass has handled every entry; the restore point is being recorded.
    virtual void CompletionStarted() = 0;
    // The restore point is recorded. `current`: the showing that started the copy still runs.
    virtual void CompletionDone(const CopyReport& report, bool current) = 0;
    // The copy pass found no source folder to copy.
    virtual void CopyImpossible(const std::string& sourceDir) = 0;
    // The copy pass could not make (or use) the backup folder or the copy of the source folder
    // in it; nothing was copied and nothing recorded.
    virtual void BackupFolderImpossible(const std::string& path, const std::string& reason) = 0;
};

// The backup job: the count pass and the copy pass over the source tree, run on the worker
// thread; what they find is posted to the view on the user-interface thread.
class BackupJob : private walk::WalkVisitor {
public:
    explicit BackupJob(BackupView& view);
    ~BackupJob() override;

    // User-interface thread.
    void SetInput(const BackupJobInput& input) { input_.Set(input); }
    BackupJobInput Input() const { return input_.Get(); }
    // Starts a new showing of the dialog: a pass still running stops at its next entry, and
    // what it posts from then on is dropped.
    uint64_t NewGeneration() { return channel_.NewGeneration(); }
    uint64_t Generation() const { return channel_.Generation(); }

    // Worker thread: one whole pass. A copy pass that handles every entry records the restore
    // point. Returns false when the pass was stopped.
    bool RunPass(bool countPass);

    // How long the last pass took, in seconds (for the benchmark).
    double LastPassSeconds() const { return lastPassSeconds_.load(); }

    // The totals of the last count pass.
    uint64_t TotalBytes() const { return counts_.Bytes(); }
    int64_t FileTotal() const { return counts_.Files(); }

private:
    bool openCopyRoot();
    bool runPass(bool countPass);
    bool stopRequested() const override;
    bool wantsSizes() const override { return countPass_; }
    bool walksInto(const walk::Folder& folder, const std::string& name) override;
    void enterFolder(const walk::Folder& folder) override;
    void file(const walk::Folder& folder, const platform::FindData& entry) override;
    void subFolder(const walk::Folder& folder, const std::string& name) override;
    void folderUnreadable(const std::string& path, const std::string& reason) override;
    void folderScanned(const walk::Folder& folder) override;

    std::string backupFolder() const;
    std::string targetDir(const walk::Folder& folder) const;
    std::string sizeText() const;

    walk::JobChannel<BackupProgress, BackupView> channel_;

    walk::Guarded<BackupJobInput> input_;

    // The running pass's own values, touched by the worker only.
    BackupJobInput pass_;
    bool countPass_ = true;
    std::string folderList_;
    int64_t filesCopied_ = 0;
    CopyReport report_;
    walk::TargetTree targets_;
    // The backup's own folder, left out of the walk when it lies inside the source.
    std::optional<platform::FolderId> ownFolder_;
    walk::PassCounts counts_;
    std::atomic<double> lastPassSeconds_{0};
};
