#include "threads/workerthread.h"

#include "support/testdrives.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A worker whose every piece of work can be held up by the test.
class CountingWorker : public threads::WorkerThread {
public:
    ~CountingWorker() override {
        release();
        stopAndJoin();
    }

    std::atomic<int> walks{0};
    std::atomic<bool> inWalk{false};

    void holdWalks() {
        std::lock_guard lock(mutex_);
        held_ = true;
    }
    void release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }

protected:
    void execute() override {
        while (!terminated()) {
            inWalk = true;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !held_; });
            }
            inWalk = false;
            endWalk();
            ++walks; // what the walk's end tells, before the thread has suspended itself
            suspendSelf();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
};

TEST(WorkerThread, IsCreatedSuspended) {
    CountingWorker worker;
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(worker.walks.load(), 0);
    ASSERT_TRUE(!worker.running());
    worker.resume();
    worker.waitUntilSuspended();
    ASSERT_EQ(worker.walks.load(), 1);
}

TEST(WorkerThread, EachResumeGivesOneWalk) {
    CountingWorker worker;
    for (int i = 1; i <= 200; ++i) {
        worker.resume();
        worker.waitUntilSuspended();
        ASSERT_EQ(worker.walks.load(), i);
    }
}

TEST(WorkerThread, AResumeDuringAWalkHasNoEffect) {
    CountingWorker worker;
    worker.holdWalks();
    worker.resume();
    ASSERT_TRUE(testsupport::eventually([&] { return worker.inWalk.load(); }));
    ASSERT_TRUE(worker.running());
    worker.resume();
    worker.resume();
    worker.release();
    worker.waitUntilSuspended();
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(worker.walks.load(), 1);
    ASSERT_TRUE(!worker.running());
}

TEST(WorkerThread, AResumeAfterTheWalkIsNeverLost) {
    // Another thread resumes the moment it learns that a walk has ended, racing the worker's
    // own suspension: every one of those resumes must give exactly one more walk.
    CountingWorker worker;
    constexpr int kWalks = 500;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::thread resumer([&] {
        for (int i = 0; i < kWalks; ++i) {
            while (worker.walks.load() < i && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            worker.resume();
        }
    });
    resumer.join();
    ASSERT_TRUE(testsupport::eventually([&] { return worker.walks.load() == kWalks; }));
    worker.waitUntilSuspended();
    ASSERT_EQ(worker.walks.load(), kWalks);
}

TEST(WorkerThread, TheStopRequestEndsASuspendedWorker) {
    auto started = std::chrono::steady_clock::now();
    {
        CountingWorker worker;
        worker.resume();
        worker.waitUntilSuspended();
        worker.terminate();
        ASSERT_TRUE(worker.terminated());
    }
    ASSERT_TRUE(std::chrono::steady_clock::now() - started < 2s);
}

} // namespace
