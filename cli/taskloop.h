#pragma once

#include "threads/uithread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace cli {

// The user-interface thread of a run without a window: the thread that calls run() takes what
// the workers post, in the order posted (delayed work when its time comes), until quit(). While
// it lives it is the thread the host layer posts to; the one installed before comes back after.
class TaskLoop : public threads::UiThread {
public:
    TaskLoop();
    ~TaskLoop() override;
    TaskLoop(const TaskLoop&) = delete;
    TaskLoop& operator=(const TaskLoop&) = delete;

    void post(std::function<void()> task) override;
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task) override;
    bool isCurrent() const override;

    // Runs posted work until quit() is called (from a posted task or another thread).
    void run();
    void quit();

private:
    using Clock = std::chrono::steady_clock;

    void add(std::chrono::milliseconds delay, std::function<void()> task);

    std::thread::id owner_;
    threads::UiThread* before_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::multimap<Clock::time_point, std::function<void()>> tasks_; // guarded by mutex_
    bool quit_ = false;                                             // guarded by mutex_
};

} // namespace cli
