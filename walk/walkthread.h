#pragma once

#include "threads/workerthread.h"

#include <atomic>
#include <chrono>
#include <functional>

namespace walk {

// The passes a dialog has asked its worker for and that have not begun. A count asked for runs
// before a copy asked for, so that a copy always shows against a count.
class PassRequests {
public:
    enum Pass : int { kNone = 0, kCount = 1, kCopy = 2 };

    void ask(Pass pass) { wanted_ |= pass; }
    void forget() { wanted_ = kNone; }
    bool waiting() const { return wanted_.load() != kNone; }
    // Takes the next pass to run, or kNone.
    Pass take() {
        int wanted = wanted_.load();
        Pass pass = (wanted & kCount) ? kCount : (wanted & kCopy) ? kCopy : kNone;
        return pass != kNone && (wanted_.fetch_and(~pass) & pass) ? pass : kNone;
    }

private:
    std::atomic<int> wanted_{kNone};
};

// A dialog's worker: runs the dialog's walk once per resume, pausing after each (100 ms), until
// the stop request comes. It takes the passes asked for itself.
class WalkThread : public threads::WorkerThread {
public:
    // walkTree: the dialog's walk, which calls walk(); runPass: one pass of the kind asked for
    // (true: a count).
    WalkThread(std::function<void()> walkTree, std::function<void(bool countPass)> runPass)
        : walkTree_(std::move(walkTree)), runPass_(std::move(runPass)) {}
    ~WalkThread() override { stopAndJoin(); }

    // User-interface thread: asks for a pass and wakes the worker.
    void request(PassRequests::Pass pass) {
        requests_.ask(pass);
        resume();
    }
    // Drops the passes asked for that have not begun.
    void forget() { requests_.forget(); }

    // The pause after each walk, for every worker from now on: a test's clicks need none.
    static void setPauseForTesting(std::chrono::milliseconds pause);

    // Worker thread: runs the pass asked for, if any, then suspends the thread unless another
    // is wanted. A pass asked for from here on is never lost.
    void walk();

protected:
    void execute() override;

private:
    std::function<void()> walkTree_;
    std::function<void(bool)> runPass_;
    PassRequests requests_;
};

} // namespace walk
