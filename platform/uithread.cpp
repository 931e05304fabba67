#include "uithread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace platform {
namespace {

// The queue is guarded by a standard mutex rather than by the toolkit's event queue alone, so
// that everything a worker wrote before posting is visibly handed over (the thread sanitizer
// can see this lock; the toolkit's own locks are outside its view).
class UiQueue : public QObject {
    Q_OBJECT

public:
    void post(std::function<void()> task) {
        bool wake;
        {
            std::lock_guard lock(mutex_);
            wake = tasks_.empty();
            tasks_.push_back(std::move(task));
        }
        if (wake)
            QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
    }

    void setExceptionHandler(std::function<void(std::exception_ptr)> handler) {
        std::lock_guard lock(mutex_);
        exceptionHandler_ = std::move(handler);
    }

    Q_INVOKABLE void drain() {
        for (;;) {
            std::function<void()> task;
            std::function<void(std::exception_ptr)> handler;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty())
                    return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
                handler = exceptionHandler_;
            }
            try {
                task();
            } catch (...) {
                if (handler)
                    handler(std::current_exception());
            }
        }
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;                  // guarded by mutex_
    std::function<void(std::exception_ptr)> exceptionHandler_; // guarded by mutex_
};

UiQueue& queue() {
    static UiQueue* instance = new UiQueue;
    return *instance;
}

// Made with the application object, on its thread, before any worker can post.
void createQueue() {
    queue();
}
Q_COREAPP_STARTUP_FUNCTION(createQueue)

bool onUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

} // namespace

void postToUiThread(std::function<void()> task) {
    queue().post(std::move(task));
}

void postToUiThreadAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    postToUiThread([delay, task = std::move(task)]() mutable {
        QTimer::singleShot(delay, &queue(), std::move(task));
    });
}

void runOnUiThread(const std::function<void()>& task) {
    if (onUiThread()) {
        task();
        return;
    }
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
    std::exception_ptr error;
    queue().post([&] {
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

void setPostedExceptionHandler(std::function<void(std::exception_ptr)> handler) {
    queue().setExceptionHandler(std::move(handler));
}

} // namespace platform

#include "uithread.moc"
