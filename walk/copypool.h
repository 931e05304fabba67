#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace walk {

// Runs the file copies of a pass on a few threads while one walk hands them out in order. What
// each copy found is taken in (`commit`) in the order the copies were handed out, one at a time,
// so that counts, progress, failures and names come out as from one thread.
class CopyPool {
public:
    // With fewer than two workers there is no pool: submit() runs both parts at once.
    explicit CopyPool(int workers);
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    // Hands out a copy. `work` runs on a pool thread, then `commit` after the commits of every
    // copy handed out before it. Waits while many copies wait already, so that memory stays flat.
    void submit(std::function<void()> work, std::function<void()> commit);
    // Waits until every copy handed out has run and been taken in.
    void drain();
    // Drops the copies that have not begun; waits for those that have (they are taken in).
    void discard();

private:
    struct Copy {
        uint64_t number;
        std::function<void()> work;
        std::function<void()> commit;
    };
    static constexpr size_t kMostWaiting = 64; // each holds up to two folder handles
    // A walk kept waiting for room goes on once this many are left, not at the first free
    // place: so it is woken once for many copies rather than once for each.
    static constexpr size_t kResumeAt = kMostWaiting / 2;

    void run();
    void takeIn(uint64_t number, std::function<void()> commit);

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    // Each waiter is woken only by what it waits for: a pool thread by a copy to run, the walk
    // by room to hand out another, drain() by the last copy taken in. With one signal for all,
    // every file woke every thread several times over.
    std::condition_variable copyWaiting_;
    std::condition_variable roomOrSettled_;
    std::deque<Copy> waiting_; // guarded by mutex_
    bool walkWaits_ = false;   // guarded by mutex_: submit() waits for room
    bool stopping_ = false;    // guarded by mutex_
    // Changed under mutex_, read without it where a commit only counts: numbers given so far,
    // and copies taken in or dropped.
    std::atomic<uint64_t> handedOut_{0};
    std::atomic<uint64_t> settled_{0};

    std::mutex commitMutex_;                         // commits run one at a time, in order
    std::map<uint64_t, std::function<void()>> done_; // guarded by commitMutex_
    uint64_t nextCommit_ = 0;                        // guarded by commitMutex_
};

// How many threads copy the files of a pass: TARNWICK_COPY_WORKERS (1 to 16) when set, else
// two where the machine has two cores or more.
int copyWorkers();

} // namespace walk
