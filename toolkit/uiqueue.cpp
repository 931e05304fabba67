// The user-interface thread of the toolkit, installed for the host layer when the application
// object is made, before any worker can post.

#include "threads/uithread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <deque>
#include <mutex>

namespace {

// The queue is guarded by a standard mutex rather than by the toolkit's event queue alone, so
// that everything a worker wrote before posting is visibly handed over (the thread sanitizer
// can see this lock; the toolkit's own locks are outside its view).
class UiQueue : public QObject, public threads::UiThread {
    Q_OBJECT

public:
    void post(std::function<void()> task) override {
        bool wake;
        {
            std::lock_guard lock(mutex_);
            wake = tasks_.empty();
            tasks_.push_back(std::move(task));
        }
        if (wake)
            QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
    }

    void postAfter(std::chrono::milliseconds delay, std::function<void()> task) override {
        post([this, delay, task = std::move(task)]() mutable {
            QTimer::singleShot(delay, this, std::move(task));
        });
    }

    bool isCurrent() const override {
        QCoreApplication* app = QCoreApplication::instance();
        return !app || QThread::currentThread() == app->thread();
    }

    Q_INVOKABLE void drain() {
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty())
                    return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_; // guarded by mutex_
};

void installQueue() {
    static UiQueue* queue = new UiQueue;
    threads::installUiThread(queue);
}
Q_COREAPP_STARTUP_FUNCTION(installQueue)

} // namespace

#include "uiqueue.moc"
