#include "uithread.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace threads {
namespace {

std::atomic<UiThread*> installed{nullptr};

std::mutex handlerMutex;
std::function<void(std::exception_ptr)> exceptionHandler; // guarded by handlerMutex

// The task, with what escapes it handed to the exception handler.
std::function<void()> guardedTask(std::function<void()> task) {
    return [task = std::move(task)] {
        try {
            task();
        } catch (...) {
            std::function<void(std::exception_ptr)> handler;
            {
                std::lock_guard lock(handlerMutex);
                handler = exceptionHandler;
            }
            if (handler)
                handler(std::current_exception());
        }
    };
}

} // namespace

UiThread* installUiThread(UiThread* thread) {
    return installed.exchange(thread);
}

void postToUiThread(std::function<void()> task) {
    if (UiThread* thread = installed.load())
        thread->post(guardedTask(std::move(task)));
    else
        guardedTask(std::move(task))();
}

void postToUiThreadAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    if (UiThread* thread = installed.load())
        thread->postAfter(delay, guardedTask(std::move(task)));
    else
        guardedTask(std::move(task))();
}

void runOnUiThread(const std::function<void()>& task) {
    UiThread* thread = installed.load();
    if (!thread || thread->isCurrent()) {
        task();
        return;
    }
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
    std::exception_ptr error;
    thread->post([&] {
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(mutex);
        done = true;
        ran.notify_all();
    });
    std::unique_lock lock(mutex);
    ran.wait(lock, [&] { return done; });
    if (error)
        std::rethrow_exception(error);
}

std::function<void(std::exception_ptr)>
setPostedExceptionHandler(std::function<void(std::exception_ptr)> handler) {
    std::lock_guard lock(handlerMutex);
    return std::exchange(exceptionHandler, std::move(handler));
}

} // namespace threads
