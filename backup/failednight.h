#pragma once

#include "store/lastbackup.h"

#include <string>

// What the user hears of a backup without a window that did not end with every file backed up
// (a scheduled one, say), in the same words on the desktop and in the window (code page 950).
namespace backup {

// The title of the desktop's notification.
std::string failedNightTitle(const store::LastBackup& record);
// When it ran, what it backed up to where, and why it failed.
std::string failedNightMessage(const store::LastBackup& record);

} // namespace backup
