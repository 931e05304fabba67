#include "taskloop.h"

namespace cli {

TaskLoop::TaskLoop()
    : owner_(std::this_thread::get_id()), before_(threads::installUiThread(this)) {}

TaskLoop::~TaskLoop() {
    threads::installUiThread(before_);
}

void TaskLoop::post(std::function<void()> task) {
    add(std::chrono::milliseconds(0), std::move(task));
}

void TaskLoop::postAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    add(delay, std::move(task));
}

bool TaskLoop::isCurrent() const {
    return std::this_thread::get_id() == owner_;
}

void TaskLoop::add(std::chrono::milliseconds delay, std::function<void()> task) {
    std::lock_guard lock(mutex_);
    // The time is read under the lock, so that work posted later is never due earlier.
    tasks_.emplace(Clock::now() + delay, std::move(task)); // after those due at the same moment
    changed_.notify_all();
}

void TaskLoop::quit() {
    std::lock_guard lock(mutex_);
    quit_ = true;
    changed_.notify_all();
}

void TaskLoop::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (quit_) {
            quit_ = false;
            return;
        }
        if (tasks_.empty()) {
            changed_.wait(lock);
            continue;
        }
        auto first = tasks_.begin();
        if (first->first > Clock::now()) {
            changed_.wait_until(lock, first->first);
            continue;
        }
        std::function<void()> task = std::move(first->second);
        tasks_.erase(first);
        lock.unlock();
        task();
        lock.lock();
    }
}

} // namespace cli
