#pragma once

#include "copypool.h"
#include "earliertree.h"
#include "folderwalk.h"
#include "jobchannel.h"
#include "passcopy.h"
#include "passprogress.h"
#include "passstate.h"
#include "targettree.h"

#include "platform/folders.h"
#include "platform/hosterror.h"
#include "platform/linktrial.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace walk {

// What every job's passes share: the values taken whole when a pass begins, the channel to the
// view, the counts, and in a copy pass the target folders, the files handled and what failed.
// A job supplies only what is its own (where it copies to, what it tells its view, what
// completes it). The worker thread runs RunPass; the rest is called on the user-interface
// thread. A copy pass walks on the worker thread and copies the files on a small pool beside it
// (see copyWorkers()); what each copy found is taken in in the walk's order.
template <typename Input, typename Progress, typename View> class PassJob : protected WalkVisitor {
public:
    explicit PassJob(View& view) : channel_(view) {}

    void setInput(const Input& input) { input_.set(input); }
    Input input() const { return input_.get(); }
    // Starts a new showing of the dialog: a pass still running stops at its next entry, and
    // what it posts from then on is dropped.
    uint64_t newGeneration() { return channel_.newGeneration(); }
    uint64_t generation() const { return channel_.generation(); }

    // The totals of the last count pass.
    uint64_t TotalBytes() const { return counts_.bytes(); }
    int64_t FileTotal() const { return counts_.files(); }

    // Worker thread: one whole pass. A copy pass that handles every entry completes the job.
    // Returns false when the pass was stopped or could not copy.
    bool runPass(bool countPass) {
        channel_.beginPass(); // first: values emptied by a close are then seen, or it is stale
        pass_ = input_.get();
        countPass_ = countPass;
        if (countPass) {
            counts_.reset();
            countBegins();
        } else {
            filesCopied_ = 0;
            filesPresent_ = 0;
            filesLinked_ = 0;
            linkTrial_.reset();
            earlier_.close(); // a job that links says from where in copyBegins
            bytesCopied_ = 0;
            failures_ = CopyFailures{};
            copySizeText_ =
                counts_.sizeText(); // a copy pass counts nothing: made once, not per file
            if (!platform::folderCanBeEntered(root())) {
                rootUnreadable();
                return false;
            }
            if (!copyBegins())
                return false;
        }
        if (!countPass && !pool_)
            pool_ = std::make_unique<CopyPool>(copyWorkers());
        WalkResult walked = WalkResult::Stopped;
        try {
            walked = WalkTree(root(), *this);
        } catch (...) {
            endCopies(); // no copy outlives its pass
            targets_.close();
            earlier_.close();
            throw;
        }
        if (!countPass) {
            // Every file counted is handled before the pass completes.
            if (walked == WalkResult::Complete) {
                pool_->drain();
                // Closed while the last copies ran: some may have been dropped, so the pass is
                // over without completing, like any pass a close stops.
                if (channel_.stale())
                    walked = WalkResult::Stopped;
            }
            endCopies(); // a stopped walk's copies that have not begun are dropped
            channel_.publish(progressNow()); // exact, whatever the walk published meanwhile
        }
        targets_.close();
        earlier_.close();
        channel_.flush(); // the last progress reaches the view before anything that follows
        if (walked == WalkResult::RootUnreadable && !countPass)
            rootUnreadable();
        if (walked != WalkResult::Complete)
            return false;
        if (!countPass)
            copyComplete();
        return true;
    }

protected:
    // The folder the pass walks.
    virtual const std::string& root() const = 0;
    // Before a count pass.
    virtual void countBegins() {}
    // Before a copy pass: opens the copy's root in targets_ (TargetTree::Open); false, having
    // told the view why, when the copy cannot be made.
    virtual bool copyBegins() = 0;
    // The copy's root (or a folder on the way to it) could not be made or used: nothing was
    // copied.
    virtual void targetImpossible(const std::string& path, const std::string& reason) = 0;
    // The root could not be listed: there was nothing to copy.
    virtual void rootUnreadable() = 0;
    // The copy pass handled every entry.
    virtual void copyComplete() = 0;
    // The target folder of a folder of the walk, ending in a backslash.
    virtual std::string targetDir(const Folder& folder) const = 0;
    // A sub-folder's target is made.
    virtual void folderMade(const Folder& /*folder*/, const std::string& /*name*/) {}
    // What the view shows of a file just copied (its status line, say).
    virtual void describeCopy(Progress& progress, const std::string& source,
                              const platform::FindData& entry) = 0;

    // Takes the copy's root folder as the root of the targets (madeNow: made by this pass, see
    // TargetTree::open); false, told as impossible at `path` for `whyNot`, when it is not open.
    bool openTargets(platform::TargetFolder root, const std::string& path,
                     const std::string& whyNot, bool madeNow = false) {
        if (!root.isOpen()) {
            targetImpossible(path, whyNot);
            return false;
        }
        targets_.open(std::move(root), madeNow);
        return true;
    }

    // From now on in this copy pass, a file unchanged since its copy in `earlierCopy` (the copy
    // of the walked tree in an earlier backup) is linked to that copy rather than copied again.
    void linkUnchangedFrom(platform::TargetFolder earlierCopy) {
        earlier_.open(std::move(earlierCopy));
    }

    bool stopRequested() const override { return channel_.stale(); }
    bool wantsSizes() const override { return countPass_; }
    void enterFolder(const Folder& folder) override {
        if (countPass_)
            return;
        enterTarget(targets_, folder, targetDir(folder), failures_);
        // The copies of this folder's files hold both folders open on their own: the walk
        // moves on while they run.
        sourceHeld_.reset();
        targetHeld_.reset();
        earlierHeld_.reset();
        if (const platform::TargetFolder* target = targets_.current())
            targetHeld_ =
                held<const platform::TargetFolder>([target] { return target->duplicate(); });
        // Linking needs no handle of its own: without one (none left to have), files are copied.
        if (targetHeld_ && earlier_.isOpen() && !linkTrial_.refused())
            if (const platform::TargetFolder* earlier = earlier_.enter(folder))
                if (platform::TargetFolder copy = earlier->duplicate(); copy.isOpen())
                    earlierHeld_ = std::make_shared<const platform::TargetFolder>(std::move(copy));
    }
    void file(const Folder& folder, const platform::FindData& entry) override {
        if (countPass_) {
            counts_.addFile(entry.size);
            return;
        }
        // Without a handle of its own (no descriptor left) the file fails: it is never read by
        // its whole path.
        if (!sourceHeld_ && folder.listing)
            sourceHeld_ = held<const platform::HeldFolder>(
                [&folder] { return folder.listing->holdFolder(); });
        auto copy = std::make_shared<FileCopy>();
        copy->source = folder.path + "\\" + entry.name;
        copy->entry = entry;
        pool_->submit(
            [this, copy, from = sourceHeld_, to = targetHeld_, earlier = earlierHeld_,
             targetIsNew = targets_.madeByThisPass()] {
                if (channel_.stale())
                    return; // closed: the pass ends without it
                try {
                    std::optional<platform::LinkSource> linkFrom;
                    if (earlier)
                        linkFrom.emplace(*earlier, linkTrial_);
                    platform::CopyResult result =
                        copyPassFile(from.get(), copy->source, to.get(), copy->entry.name,
                                     linkFrom ? &*linkFrom : nullptr, targetIsNew, copy->failures);
                    copy->status = result.status;
                    copy->bytes = result.bytes;
                    if (copy->status == platform::CopyStatus::Failed)
                        copy->failures.nameLastOnHost(copy->entry.hostText);
                } catch (const std::bad_alloc&) {
                    copy->failures.add(copy->source, platform::reasonForError(ENOMEM));
                } catch (...) {
                    copy->failures.add(copy->source, platform::reasonForError(EIO));
                }
            },
            [this, copy] {
                if (copy->status == platform::CopyStatus::TargetExists)
                    ++filesPresent_;
                else if (copy->status == platform::CopyStatus::Linked)
                    ++filesLinked_;
                bytesCopied_ += copy->bytes;
                failures_.takeFiles(std::move(copy->failures));
                ++filesCopied_;
                Progress progress = progressNow();
                describeCopy(progress, copy->source, copy->entry);
                channel_.publish(std::move(progress));
            });
    }
    void subFolder(const Folder& folder, const std::string& name) override {
        if (!countPass_ && makeTarget(targets_, name, targetDir(folder), failures_))
            folderMade(folder, name);
    }
    void folderUnreadable(const std::string& path, const std::string& reason) override {
        if (!countPass_)
            failures_.addFolder(path, reason);
    }
    void folderScanned(const Folder&) override { channel_.publish(progressNow()); }

    // The running pass's own values, set by the worker; the copies' results are taken in by
    // one pool thread at a time (the counts are read by the walk meanwhile).
    Input pass_;
    bool countPass_ = true;
    std::atomic<int64_t> filesCopied_{0};  // handled, whatever became of them
    std::atomic<int64_t> filesPresent_{0}; // there already: left as they were
    std::atomic<int64_t> filesLinked_{0};  // unchanged: linked to their earlier copies
    std::atomic<uint64_t> bytesCopied_{0};
    CopyFailures failures_; // files: by the copies' intake; folders: by the walk
    TargetTree targets_;

    JobChannel<Progress, View> channel_;
    PassCounts counts_;

private:
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

    void endCopies() {
        if (pool_)
            pool_->discard();
        sourceHeld_.reset();
        targetHeld_.reset();
        earlierHeld_.reset();
    }

    // What the view shows after a scan, and after a copied file: the size line, the bar's
    // maximum and, in a copy pass, its position.
    Progress progressNow() const {
        Progress progress;
        progress.sizeText = countPass_ ? counts_.sizeText() : copySizeText_;
        progress.fileTotal = counts_.files();
        if (!countPass_) {
            progress.position = filesCopied_;
            progress.bytesCopied = bytesCopied_;
        }
        return progress;
    }

    // One file of a copy pass, from the walk to a pool thread and back.
    struct FileCopy {
        std::string source; // its whole path
        platform::FindData entry;
        platform::CopyStatus status = platform::CopyStatus::Failed;
        uint64_t bytes = 0;
        CopyFailures failures;
    };

    Guarded<Input> input_;
    std::string copySizeText_;                                  // the size line during a copy pass
    std::shared_ptr<const platform::HeldFolder> sourceHeld_;    // the folder being copied
    std::shared_ptr<const platform::TargetFolder> targetHeld_;  // where its files go
    std::shared_ptr<const platform::TargetFolder> earlierHeld_; // its copy in an earlier backup
    EarlierTree earlier_; // the copy of the tree in an earlier backup, when the job links
    // All of a pass's targets lie in one folder, on one file system: once it refuses a link,
    // the pass copies the rest.
    platform::LinkTrial linkTrial_;
    std::unique_ptr<CopyPool> pool_; // last: its threads end before the rest goes
};

} // namespace walk
