#include "notification.h"

namespace platform {

// Windows has no notification a console program can send without an application identity of
// its own; the window tells the user when it next starts.
void notifyDesktop(const std::string&, const std::string&) {}

} // namespace platform
