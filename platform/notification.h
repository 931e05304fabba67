#pragma once

#include <string>

namespace platform {

// Tells the user's desktop that something needs their attention: a notification with the title
// and the text (program text) that stays until the user has seen it. Quietly nothing where there
// is no desktop session to tell (no session bus, no notification service), and never more than
// a few seconds: it must not hold up or fail what the caller does.
void notifyDesktop(const std::string& title, const std::string& text);

} // namespace platform
