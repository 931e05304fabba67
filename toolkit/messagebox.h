#pragma once

#include <exception>
#include <functional>
#include <string>

// Every message box of the program goes through here, so that tests can see and answer them.
namespace toolkit {

enum class MessageBoxKind {
    Simple, // the application title "Tarnwick" as caption, the text, OK
    System, // a caption of its own, the text, the information icon, OK
    Error,  // the application's display of an error: "Tarnwick", the text, the stop icon, OK
};

struct MessageBoxCall {
    MessageBoxKind kind;
    std::string caption; // code page 950
    std::string text;    // code page 950
    // What the box shows instead, when set (UTF-8): the text with the host's own names beside
    // the paths that show them as "?" (see showSystemMessage).
    std::string hostText{};
};

// Shows the text with the caption "Tarnwick" and waits for OK.
void showMessage(const std::string& text);

// Shows an error that a handler did not catch, and waits for OK.
void showErrorMessage(const std::string& text);

// The application's display of an exception that a handler did not catch: its message (code
// page 950) as an error, an empty message for anything that is no standard exception.
void showException(std::exception_ptr error);

// Runs a handler; what it throws is shown, and the program goes on.
template <typename Handler> void guarded(Handler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        showException(std::current_exception());
    }
}

// Shows the text under its caption with the information icon and waits for OK. Callable from a
// worker thread: the box is shown on the user-interface thread while the caller waits, so the
// user-interface thread must not be waiting for the caller at that moment.
void showSystemMessage(const std::string& caption, const std::string& text);
// The same, the box showing `hostText` (UTF-8): `text` with the host's own names beside those
// that code page 950 cannot show. The toolkit's boxes take Unicode on every system, so a name
// is shown as the host has it (from UTF-8 on Linux, from UTF-16 on Windows).
void showSystemMessage(const std::string& caption, const std::string& text,
                       const std::string& hostText);

// Test seam: every box goes to the handler instead of the screen (it is the user's answer);
// an empty handler brings back real boxes. The handler runs on the user-interface thread.
void setMessageBoxHandler(std::function<void(const MessageBoxCall&)> handler);

} // namespace toolkit
