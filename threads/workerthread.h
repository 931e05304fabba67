#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace threads {

// A worker thread in the manner of the desktop toolkit's thread class: it is created suspended,
// the first resume starts its body, the body suspends itself at the end of each piece of work
// (a walk), and a resume lets it go on. A resume while a walk runs has no effect; a resume that
// comes once the walk has ended is never lost, even before the thread has suspended itself.
class WorkerThread {
public:
    WorkerThread() = default;
    // Asks the body to stop, wakes it and waits for it: a derived class must call stopAndJoin()
    // in its own destructor, before its members go.
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void resume();
    // The stop request; the body tests it between pieces of work.
    void terminate();
    bool terminated() const;
    // True from a resume until the body suspends itself.
    bool running() const;
    // Blocks until the body has suspended itself or ended (or was never started).
    void waitUntilSuspended() const;
    // Asks the body to stop and waits until it has ended.
    void stopAndJoin();

protected:
    // The thread body. It runs until it returns; a body that loops tests terminated().
    virtual void execute() = 0;
    // Called by the body when a walk is over, before it tells anyone so: from here on a resume
    // counts, and the next suspendSelf() returns at once when one has come.
    void endWalk();
    // Called by the body: suspends the thread until the next resume or the stop request. Ends
    // the walk first when endWalk() was not called.
    void suspendSelf();
    // Sleeps the given time, or less when the stop request comes.
    void sleepFor(std::chrono::milliseconds time);

private:
    enum class State { NotStarted, Running, Ended, Suspended, Finished };

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    State state_ = State::NotStarted; // guarded by mutex_
    bool stop_ = false;               // guarded by mutex_
    bool walkEnded_ = false;          // guarded by mutex_: endWalk() since the last suspension
    std::thread thread_;
};

} // namespace threads
