#pragma once

#include <chrono>

// Small facts of the host that the shared parts of the host layer need; each backend gives them.
namespace platform {

// Today in the host's local time.
std::chrono::year_month_day localToday();
// The local time of day, to the minute.
std::chrono::minutes localTimeOfDay();

// This program's process number.
long currentProcessId();

// Whether a process of this number may still run (when in doubt, it may).
bool processMayBeRunning(long id);

} // namespace platform
