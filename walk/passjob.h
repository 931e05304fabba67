#pragma once

#include "folderwalk.h"
#include "jobchannel.h"
#include "passprogress.h"
#include "passstate.h"
#include "treecopy.h"

#include "platform/folders.h"

#include <cstdint>
#include <string>

namespace walk {

// What every job's passes share: the values taken whole when a pass begins, the channel to the
// view, the counts, and in a copy pass the copy of the walked tree (see TreeCopy). A job
// supplies only what is its own (where it copies to, what it tells its view, what completes
// it). The worker thread runs RunPass; the rest is called on the user-interface thread.
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
            // A job that links says from where in copyBegins.
            copies_.begin([this] { return channel_.stale(); },
                          [this](const std::string& source, const platform::FindData& entry) {
                              Progress progress = progressNow();
                              describeCopy(progress, source, entry);
                              channel_.publish(std::move(progress));
                          });
            copySizeText_ =
                counts_.sizeText(); // a copy pass counts nothing: made once, not per file
            if (!platform::folderCanBeEntered(root())) {
                rootUnreadable();
                return false;
            }
            if (!copyBegins())
                return false;
        }
        WalkResult walked = WalkResult::Stopped;
        try {
            walked = WalkTree(root(), *this);
        } catch (...) {
            copies_.end(); // no copy outlives its pass
            throw;
        }
        if (!countPass) {
            // Every file counted is handled before the pass completes.
            if (walked == WalkResult::Complete) {
                copies_.drain();
                // Closed while the last copies ran: some may have been dropped, so the pass is
                // over without completing, like any pass a close stops.
                if (channel_.stale())
                    walked = WalkResult::Stopped;
            }
            copies_.end(); // a stopped walk's copies that have not begun are dropped
            channel_.publish(progressNow()); // exact, whatever the walk published meanwhile
        }
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
    // Before a copy pass: opens the copy's root (openTargets); false, having
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
        copies_.openTargets(std::move(root), madeNow);
        return true;
    }

    // From now on in this copy pass, a file unchanged since its copy in `earlierCopy` (the copy
    // of the walked tree in an earlier backup) is linked to that copy rather than copied again.
    void linkUnchangedFrom(platform::TargetFolder earlierCopy) {
        copies_.linkUnchangedFrom(std::move(earlierCopy));
    }

    bool stopRequested() const override { return channel_.stale(); }
    bool wantsSizes() const override { return countPass_; }
    void enterFolder(const Folder& folder) override {
        if (!countPass_)
            copies_.enterFolder(folder, targetDir(folder));
    }
    void file(const Folder& folder, const platform::FindData& entry) override {
        if (countPass_)
            counts_.addFile(entry.size);
        else
            copies_.file(folder, entry);
    }
    void subFolder(const Folder& folder, const std::string& name) override {
        if (!countPass_ && copies_.subFolder(name, targetDir(folder)))
            folderMade(folder, name);
    }
    void folderUnreadable(const std::string& path, const std::string& reason,
                          const std::string& hostText) override {
        if (!countPass_)
            copies_.failures().addFolder(path, reason, hostText);
    }
    void compatibilityLinkPassed(const std::string& path) override {
        if (!countPass_)
            copies_.failures().addPassedLink(path);
    }
    void folderScanned(const Folder& folder) override {
        if (!countPass_)
            copies_.folderScanned(folder, targetDir(folder));
        channel_.publish(progressNow());
    }

    // The running pass's own values, set by the worker.
    Input pass_;
    bool countPass_ = true;

    JobChannel<Progress, View> channel_;
    PassCounts counts_;

private:
    // What the view shows after a scan, and after a copied file: the size line, the bar's
    // maximum and, in a copy pass, its position.
    Progress progressNow() const {
        Progress progress;
        progress.sizeText = countPass_ ? counts_.sizeText() : copySizeText_;
        progress.fileTotal = counts_.files();
        if (!countPass_) {
            progress.position = copies_.filesHandled();
            progress.bytesCopied = copies_.bytesCopied();
        }
        return progress;
    }

    Guarded<Input> input_;
    std::string copySizeText_; // the size line during a copy pass

protected:
    // Last: the copies' threads end before the rest goes. Its counts and failures are the
    // jobs' to report once the pass is over.
    TreeCopy copies_;
};

} // namespace walk
