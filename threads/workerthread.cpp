#include "workerthread.h"

namespace threads {

WorkerThread::~WorkerThread() {
    stopAndJoin();
}

void WorkerThread::stopAndJoin() {
    terminate();
    if (thread_.joinable())
        thread_.join();
}

void WorkerThread::resume() {
    std::lock_guard lock(mutex_);
    switch (state_) {
    case State::NotStarted:
        state_ = State::Running;
        thread_ = std::thread([this] {
            execute();
            std::lock_guard done(mutex_);
            state_ = State::Finished;
            changed_.notify_all();
        });
        break;
    case State::Ended: // the body has not suspended itself yet: it will find this resume
    case State::Suspended:
        state_ = State::Running;
        changed_.notify_all();
        break;
    case State::Running:
    case State::Finished:
        break;
    }
}

void WorkerThread::terminate() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
}

bool WorkerThread::terminated() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

bool WorkerThread::running() const {
    std::lock_guard lock(mutex_);
    return state_ == State::Running;
}

void WorkerThread::waitUntilSuspended() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        return state_ == State::NotStarted || state_ == State::Suspended ||
               state_ == State::Finished;
    });
}

void WorkerThread::endWalk() {
    std::lock_guard lock(mutex_);
    state_ = State::Ended;
    walkEnded_ = true;
    changed_.notify_all();
}

void WorkerThread::suspendSelf() {
    std::unique_lock lock(mutex_);
    // Running after endWalk() means a resume has come since: go on without waiting.
    if (!walkEnded_ || state_ == State::Ended)
        state_ = State::Suspended;
    walkEnded_ = false;
    changed_.notify_all();
    changed_.wait(lock, [this] { return state_ != State::Suspended || stop_; });
    state_ = State::Running;
}

void WorkerThread::sleepFor(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, time, [this] { return stop_; });
}

} // namespace threads
