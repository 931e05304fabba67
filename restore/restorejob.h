#pragma once

#include "walk/passjob.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace restore {

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
    int64_t filesPresent = 0; // of those handled: there already, left as they were
    uint64_t bytesCopied = 0;

    // Of the files handled, those copied back.
    int64_t filesCopied() const {
        return filesHandled - filesPresent - failures.differingCount() - failures.count();
    }
};

// The dialog side of a restore, called on the user-interface thread.
class RestoreView {
public:
    virtual ~RestoreView() = default;
    virtual void showProgress(const RestoreProgress& progress) = 0;
    virtual void restoreCompleted(const RestoreReport& report) = 0;
    // The copy pass found no backup folder to copy from.
    virtual void restoreImpossible(const std::string& restoreSource) = 0;
    // The copy pass could not make or use the folder to restore into; nothing was copied.
    virtual void restoreTargetImpossible(const std::string& path, const std::string& reason) = 0;
};

// The restore job: the count pass and the copy pass over the chosen folder of a backup, run on
// the worker thread. The copy never replaces a file that is there. Its own part is the folder
// restored into and the names of the files restored.
class RestoreJob : public walk::PassJob<RestoreJobInput, RestoreProgress, RestoreView> {
public:
    explicit RestoreJob(RestoreView& view) : PassJob(view) {}

private:
    const std::string& root() const override { return pass_.restoreSource; }
    bool copyBegins() override;
    void targetImpossible(const std::string& path, const std::string& reason) override;
    void rootUnreadable() override;
    void copyComplete() override;
    std::string targetDir(const walk::Folder& folder) const override;
    void describeCopy(RestoreProgress& progress, const std::string& source,
                      const platform::FindData& entry) override;
};

// Makes a folder and every missing folder above it; true when it exists afterwards.
bool createFolderPath(const std::string& folder);

// The folder `levels` path elements above `path` (the path itself for 0); never above the
// drive's root.
std::string folderAbove(const std::string& path, int levels);

} // namespace restore
