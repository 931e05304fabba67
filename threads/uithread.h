#pragma once

#include <chrono>
#include <exception>
#include <functional>

// Hands work from worker threads to the user-interface thread. Worker threads never touch a
// widget: they post what the window should do, and it runs there in the order posted.
namespace threads {

// Runs the function on the user-interface thread soon, after everything posted before it.
// Callable from any thread.
void postToUiThread(std::function<void()> task);

// The same, not before the delay has passed.
void postToUiThreadAfter(std::chrono::milliseconds delay, std::function<void()> task);

// Runs the function on the user-interface thread and waits until it has run (at once when
// called there). The user-interface thread must not be waiting for the caller meanwhile.
// An exception from the function is thrown again in the caller.
void runOnUiThread(const std::function<void()>& task);

// What becomes of an exception that escapes a posted function: the application shows it.
// Returns the handler set before.
std::function<void(std::exception_ptr)>
setPostedExceptionHandler(std::function<void(std::exception_ptr)> handler);

// The user-interface thread as the desktop toolkit runs it. The toolkit's glue installs its
// own when the application starts; without one (no window at all), posted work runs at once
// on the thread that posts it.
class UiThread {
public:
    virtual ~UiThread() = default;
    virtual void post(std::function<void()> task) = 0;
    virtual void postAfter(std::chrono::milliseconds delay, std::function<void()> task) = 0;
    virtual bool isCurrent() const = 0;
};

// Returns the one installed before.
UiThread* installUiThread(UiThread* thread);

} // namespace threads
