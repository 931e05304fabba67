#pragma once

#include "copyfailures.h"
#include "copypool.h"
#include "earliertree.h"
#include "folderwalk.h"
#include "sharedfiles.h"
#include "targettree.h"

#include "platform/folders.h"
#include "platform/linktrial.h"
#include "platform/targetfolder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace walk {

// What a copy pass does with the tree it walks: makes the target folders along the walk (never
// through a link), copies the files on a small pool beside the walk (see copyWorkers()), links
// the files unchanged since an earlier backup to their copies there, and takes in what each copy
// found in the walk's order. The walk's thread calls everything; the pool's threads run the
// copies and the intake.
class TreeCopy {
public:
    // A copy taken in: on the pool thread whose turn it is, one at a time, in the walk's order.
    using Taken = std::function<void(const std::string& source, const platform::FindData& entry)>;

    // A new pass: what the last one found is emptied and nothing is linked. closed: whether the
    // pass was closed meanwhile (a copy that has not begun then is skipped); taken: told of each
    // copy taken in.
    void begin(std::function<bool()> closed, Taken taken);
    // The copy's root (madeNow: made by this pass, see TargetTree::open).
    void openTargets(platform::TargetFolder root, bool madeNow) {
        rootHeld_ = std::make_shared<const platform::TargetFolder>(root.duplicate());
        targets_.open(std::move(root), madeNow);
    }
    // From now on in this pass, a file unchanged since its copy in `earlierCopy` (the copy of
    // the walked tree in an earlier backup) is linked to that copy rather than copied again.
    void linkUnchangedFrom(platform::TargetFolder earlierCopy) {
        earlier_.open(std::move(earlierCopy));
    }

    // The walk's steps. targetDir: the target of the folder, ending in a backslash.
    void enterFolder(const Folder& folder, const std::string& targetDir);
    void file(const Folder& folder, const platform::FindData& entry);
    // True when the sub-folder's target is there.
    bool subFolder(const std::string& name, const std::string& targetDir);
    // The folder's entries are all handed out: a target this pass made gets the folder's
    // modification time once its copies are in (making them changed it).
    void folderScanned(const Folder& folder, const std::string& targetDir);

    // Waits until every copy handed out is taken in.
    void drain();
    // Drops the copies that have not begun, waits for the others, and lets the folders go.
    void end();

    int64_t filesHandled() const { return filesHandled_; } // whatever became of them
    int64_t filesPresent() const { return filesPresent_; } // there already: left as they were
    int64_t filesLinked() const { return filesLinked_; }   // linked to their earlier copies
    uint64_t bytesCopied() const { return bytesCopied_; }
    // Files: by the intake; folders: by the walk. Read it once the copies are over.
    CopyFailures& failures() { return failures_; }

private:
    // One file, from the walk to a pool thread and back.
    struct FileCopy {
        std::string source; // its whole path
        platform::FindData entry;
        // The folders it is copied from, to and linked to, held open for it.
        std::shared_ptr<const platform::HeldFolder> from;
        std::shared_ptr<const platform::TargetFolder> to;
        std::shared_ptr<const platform::TargetFolder> earlier;
        std::shared_ptr<const platform::TargetFolder> root; // the copy's root
        std::shared_ptr<const std::string> relPath;         // its folder below the root
        bool targetIsNew = false;                           // made by this pass
        platform::CopyStatus status = platform::CopyStatus::Failed;
        uint64_t bytes = 0;
        CopyFailures failures;
    };

    // A handle for the copies to hold; when none can be had (no descriptor left), the copies
    // waiting are let finish first, and then once more. Null when there is still none.
    template <typename Handle, typename Make> std::shared_ptr<Handle> held(Make make) {
        auto handle = std::make_shared<Handle>(make());
        if (!handle->isOpen()) {
            pool_->drain();
            handle = std::make_shared<Handle>(make());
        }
        return handle->isOpen() ? handle : nullptr;
    }
    void copy(FileCopy& copy);
    void copyOrLink(FileCopy& copy);
    // A later name of a file with several: linked to the first name's copy when it can be.
    bool linkedToFirstName(FileCopy& copy, SharedFiles::First& first,
                           const platform::SharedFile& file);
    void takeIn(FileCopy& copy);

    std::function<bool()> closed_;
    Taken taken_;
    std::atomic<int64_t> filesHandled_{0};
    std::atomic<int64_t> filesPresent_{0};
    std::atomic<int64_t> filesLinked_{0};
    std::atomic<uint64_t> bytesCopied_{0};
    CopyFailures failures_;
    TargetTree targets_;
    EarlierTree earlier_; // the copy of the tree in an earlier backup, when the job links
    // All of a pass's targets lie in one folder, on one file system: once it refuses a link,
    // the pass copies the rest.
    platform::LinkTrial linkTrial_;
    SharedFiles sharedFiles_; // the files of several names met in this pass
    std::shared_ptr<const platform::HeldFolder> sourceHeld_;    // the folder being copied
    std::shared_ptr<const platform::TargetFolder> targetHeld_;  // where its files go
    std::shared_ptr<const platform::TargetFolder> earlierHeld_; // its copy in an earlier backup
    std::shared_ptr<const platform::TargetFolder> rootHeld_;    // the copy's root
    std::shared_ptr<const std::string> relPathHeld_;            // the folder below the root
    std::unique_ptr<CopyPool> pool_; // last: its threads end before the rest goes
};

} // namespace walk
