#pragma once

#include "threads/uithread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace walk {

// Carries what a job's worker finds to the job's view on the user-interface thread. Progress is
// merged: when it comes faster than the view takes it, the view gets the latest (Progress::
// takeUnshown lets the latest keep what must not be lost from the one it replaces). Other
// events arrive in order. Each showing of a dialog is a generation: what a pass of an older
// generation posts is dropped, and the pass can see that it should stop.
template <typename Progress, typename View> class JobChannel {
public:
    explicit JobChannel(View& view) : view_(view), self_(std::make_shared<JobChannel*>(this)) {}
    JobChannel(const JobChannel&) = delete;
    JobChannel& operator=(const JobChannel&) = delete;

    // User-interface thread.
    uint64_t newGeneration() { return generation_.fetch_add(1) + 1; }
    uint64_t generation() const { return generation_.load(); }

    // Worker thread: a pass begins in the current generation; it is stale once a newer begins.
    void beginPass() { passGeneration_ = generation_.load(); }
    bool stale() const { return generation_.load() != passGeneration_; }

    // At most one update per interval reaches the view while a pass runs; flush() at the end
    // of a pass sends the last one.
    void publish(Progress progress) {
        std::lock_guard lock(mutex_);
        if (unshown_ && latestGeneration_ == passGeneration_)
            progress.takeUnshown(std::move(latest_));
        latest_ = std::move(progress);
        latestGeneration_ = passGeneration_;
        unshown_ = true;
        auto now = std::chrono::steady_clock::now();
        if (posted_)
            return;
        if (now - lastPost_ >= kInterval)
            postLatest(now, std::chrono::milliseconds(0));
        else // shown when the interval is over, even if nothing follows (a long file copying)
            postLatest(now,
                       std::chrono::ceil<std::chrono::milliseconds>(kInterval - (now - lastPost_)));
    }

    // Shows the latest now, before whatever is posted after it (a delayed showing still on its
    // way then finds nothing left to show).
    void flush() {
        std::lock_guard lock(mutex_);
        if (unshown_)
            postLatest(std::chrono::steady_clock::now(), std::chrono::milliseconds(0));
    }

    // Delivered only while the pass's showing is the current one.
    void post(std::function<void(View&)> event) {
        postAnyway([event = std::move(event)](View& view, bool current) {
            if (current)
                event(view);
        });
    }

    // For what the user must learn even after the showing is over (a backup that was recorded):
    // delivered whatever the generation, with whether it is still the current one.
    void postAnyway(std::function<void(View&, bool current)> event) {
        std::weak_ptr<JobChannel*> channel = self_;
        uint64_t generation = passGeneration_;
        threads::postToUiThread([channel, generation, event = std::move(event)] {
            if (std::shared_ptr<JobChannel*> alive = channel.lock())
                event((*alive)->view_, generation == (*alive)->generation_.load());
        });
    }

private:
    static constexpr std::chrono::milliseconds kInterval{40};

    void postLatest(std::chrono::steady_clock::time_point now, std::chrono::milliseconds delay) {
        posted_ = true;
        lastPost_ = now + delay;
        std::weak_ptr<JobChannel*> channel = self_;
        auto show = [channel] {
            if (std::shared_ptr<JobChannel*> alive = channel.lock())
                (*alive)->showLatest();
        };
        if (delay.count() > 0)
            threads::postToUiThreadAfter(delay, show);
        else
            threads::postToUiThread(show);
    }

    void showLatest() {
        Progress latest;
        uint64_t generation;
        {
            std::lock_guard lock(mutex_);
            posted_ = false;
            if (!unshown_)
                return;
            latest = std::move(latest_);
            latest_ = Progress{};
            generation = latestGeneration_;
            unshown_ = false;
        }
        if (generation == generation_.load())
            view_.showProgress(latest);
    }

    View& view_;
    std::shared_ptr<JobChannel*> self_; // posted calls find out through it that the job is gone
    std::atomic<uint64_t> generation_{1};
    uint64_t passGeneration_ = 0; // the worker's own

    std::mutex mutex_;
    Progress latest_;               // guarded by mutex_
    uint64_t latestGeneration_ = 0; // guarded by mutex_
    bool posted_ = false;           // guarded by mutex_: a call to show it is on its way
    bool unshown_ = false;          // guarded by mutex_: latest_ has not reached the view
    std::chrono::steady_clock::time_point lastPost_{}; // guarded by mutex_
};

} // namespace walk
