#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace platform {

// Today's date in the short form of a Traditional Chinese Windows system: year/month/day
// without leading zeros, such as 2004/5/1.
std::string shortDateToday();

// Today's date as above and the local time of day on a 24-hour clock: 2004/5/1 02:30.
std::string shortDateTimeNow();

// Test seam: the day that shortDateToday() reports from now on; nullopt for the real day.
void setTodayForTesting(std::optional<std::chrono::year_month_day> day);

} // namespace platform
