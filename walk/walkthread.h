#pragma once

#include "platform/workerthread.h"

#include <atomic>
#include <functional>

namespace walk {

// The passes a dialog has asked its worker for and that have not begun. A count asked for runs
// before a copy asked for, so that a copy always shows against a count.
class PassRequests {
public:
    enum Pass : int { kNone = 0, kCount = 1, kCopy = 2 };

    void Ask(Pass pass) { wanted_ |= pass; }
    void Forget() { wanted_ = kNone; }
    bool Waiting() const { return wanted_.load() != kNone; }
    // Takes the next pass to run, or kNone.
    Pass Take() {
        int wanted = wanted_.load();
        Pass pass = (wanted & kCount) ? kCount : (wanted & kCopy) ? kCopy : kNone;
        return pass != kNone && (wanted_.fetch_and(~pass) & pass) ? pass : kNone;
    }

private:
    std::atomic<int> wanted_{kNone};
};

// A dialog's worker: runs the dialog's walk once per resume, pausing 100 ms after each, until
// the stop request comes.
class WalkThread : public platform::WorkerThread {
public:
    explicit WalkThread(std::function<void()> walk) : walk_(std::move(walk)) {}
    ~WalkThread() override { stopAndJoin(); }

    // Called by the walk at its end: suspends the thread unless another walk is wanted. A pass
    // asked for from here on is never lost.
    void EndWalk(const PassRequests& requests);

protected:
    void execute() override;

private:
    std::function<void()> walk_;
};

} // namespace walk
