#pragma once

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

// The two folders of one restore: the folder of the backup to copy from, and the folder it was
// backed up from, which the files go back into. The target's path is followed through links
// down to targetRoot (the folder that was backed up, which the user chose); below it nothing is
// reached through a link. An empty targetRoot is the target itself.
struct RestoreJobInput {
    std::string restoreSource;
    std::string restoreTarget;
    std::string targetRoot;
};

// What the dialog shows while a pass runs, and the names for its list of restored files.
struct RestoreProgress : walk::PassProgress {
    std::vector<std::string> restoredNames; // in the order restored

    void takeUnshown(RestoreProgress&& older) {
        PassProgress::takeUnshown(std::move(older));
        older.restoredNames.insert(older.restoredNames.end(),
                                   std::make_move_iterator(restoredNames.begin()),
                                   std::make_move_iterator(restoredNames.end()));
        restoredNames = std::move(older.restoredNames);
    }
};

struct RestoreReport {
    int64_t filesHandled = 0;
    walk::CopyFailures failures;
};

// The dialog side of a restore, called on the user-interface thread.
class RestoreView {
public:
    virtual ~RestoreView() = default;
    virtual void ShowProgress(const RestoreProgress& progress) = 0;
    virtual void RestoreCompleted(const RestoreReport& report) = 0;
    // The copy pass found no backup folder to copy from.
    virtual void RestoreImpossible(const std::string& restoreSource) = 0;
    // The copy pass could not make or use the folder to restore into; nothing was copied.
    virtual void TargetImpossible(const std::string& path, const std::string& reason) = 0;
};

// The restore job: the count pass and the copy pass over the chosen folder of a backup, run on
// the worker thread. The copy never replaces a file that is there.
class RestoreJob : private walk::WalkVisitor {
public:
    explicit RestoreJob(RestoreView& view) : channel_(view) {}

    // User-interface thread.
    void SetInput(const RestoreJobInput& input) { input_.Set(input); }
    RestoreJobInput Input() const { return input_.Get(); }
    uint64_t NewGeneration() { return channel_.NewGeneration(); }

    // Worker thread: one whole pass; a copy pass that handles every entry completes the
    // restore. Returns false when the pass was stopped. A copy pass without a target does
    // nothing.
    bool RunPass(bool countPass);

    uint64_t TotalBytes() const { return counts_.Bytes(); }
    int64_t CountPassesRun() const { return countPasses_.load(); }
    int64_t FileTotal() const { return counts_.Files(); }

private:
    bool openTarget();
    bool stopRequested() const override { return channel_.Stale(); }
    bool wantsSizes() const override { return countPass_; }
    void enterFolder(const walk::Folder& folder) override;
    void file(const walk::Folder& folder, const platform::FindData& entry) override;
    void subFolder(const walk::Folder& folder, const std::string& name) override;
    void folderUnreadable(const std::string& path, const std::string& reason) override;
    void folderScanned(const walk::Folder& folder) override;

    std::string targetDir(const walk::Folder& folder) const;
    RestoreProgress progress() const;

    walk::JobChannel<RestoreProgress, RestoreView> channel_;

    walk::Guarded<RestoreJobInput> input_;

    // The running pass's own values, touched by the worker only.
    RestoreJobInput pass_;
    bool countPass_ = true;
    int64_t filesCopied_ = 0;
    RestoreReport report_;
    walk::TargetTree targets_;
    walk::PassCounts counts_;
    std::atomic<int64_t> countPasses_{0};
};

// Makes a folder and every missing folder above it; true when it exists afterwards.
bool CreateFolderPath(const std::string& folder);

// The folder `levels` path elements above `path` (the path itself for 0); never above the
// drive's root.
std::string FolderAbove(const std::string& path, int levels);
