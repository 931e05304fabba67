#include "copypool.h"

#include <cstdlib>

namespace walk {

int copyWorkers() {
    if (const char* asked = std::getenv("TARNWICK_COPY_WORKERS")) {
        int workers = std::atoi(asked);
        if (workers >= 1 && workers <= 16)
            return workers;
    }
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

CopyPool::CopyPool(int workers) {
    if (workers < 2)
        return;
    for (int i = 0; i < workers; ++i)
        threads_.emplace_back([this] { run(); });
}

CopyPool::~CopyPool() {
    discard();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        copyWaiting_.notify_all();
    }
    for (std::thread& thread : threads_)
        thread.join();
}

void CopyPool::submit(std::function<void()> work, std::function<void()> commit) {
    if (threads_.empty()) {
        work();
        commit();
        return;
    }
    std::unique_lock lock(mutex_);
    if (waiting_.size() >= kMostWaiting) {
        walkWaits_ = true;
        roomOrSettled_.wait(lock, [this] { return waiting_.size() <= kResumeAt; });
        walkWaits_ = false;
    }
    waiting_.push_back({handedOut_++, std::move(work), std::move(commit)});
    copyWaiting_.notify_one();
}

void CopyPool::drain() {
    std::unique_lock lock(mutex_);
    roomOrSettled_.wait(lock, [this] { return settled_ == handedOut_; });
}

void CopyPool::discard() {
    uint64_t handedOut = 0;
    {
        std::lock_guard lock(mutex_);
        settled_ += waiting_.size(); // the last handed out: nothing waits on their commits
        waiting_.clear();
        handedOut = handedOut_;
        roomOrSettled_.notify_all();
    }
    drain();
    std::lock_guard lock(commitMutex_);
    nextCommit_ = handedOut; // the numbers dropped are never taken in
}

void CopyPool::run() {
    for (;;) {
        Copy copy;
        {
            std::unique_lock lock(mutex_);
            copyWaiting_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty())
                return; // stopping
            copy = std::move(waiting_.front());
            waiting_.pop_front();
            if (walkWaits_ && waiting_.size() <= kResumeAt)
                roomOrSettled_.notify_all();
        }
        try {
            copy.work();
        } catch (...) {
            // The copy's own part tells its failure; nothing may end the pool's thread.
        }
        takeIn(copy.number, std::move(copy.commit));
    }
}

void CopyPool::takeIn(uint64_t number, std::function<void()> commit) {
    uint64_t takenIn = 0;
    {
        std::lock_guard lock(commitMutex_);
        done_.emplace(number, std::move(commit));
        // Whoever completes the next copy in order takes it in, and the ones after it that wait.
        while (!done_.empty() && done_.begin()->first == nextCommit_) {
            std::function<void()> next = std::move(done_.begin()->second);
            done_.erase(done_.begin());
            try {
                next();
            } catch (...) {
                // Taken in or not, the copies after it must not wait for it forever.
            }
            ++nextCommit_;
            ++takenIn;
        }
    }
    // Only the last copy handed out wakes drain(); it takes the lock, so a drain() that looked
    // before the count changed waits already.
    if (takenIn > 0 && (settled_ += takenIn) == handedOut_.load()) {
        std::lock_guard lock(mutex_);
        roomOrSettled_.notify_all();
    }
}

} // namespace walk
