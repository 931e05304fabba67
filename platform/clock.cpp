#include "clock.h"

#include "hostsystem.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex seamMutex;
std::optional<std::chrono::year_month_day> fixedDay; // guarded by seamMutex

} // namespace

std::string shortDateToday() {
    std::chrono::year_month_day day;
    {
        std::lock_guard lock(seamMutex);
        day = fixedDay ? *fixedDay : localToday();
    }
    return std::to_string(static_cast<int>(day.year())) + "/" +
           std::to_string(static_cast<unsigned>(day.month())) + "/" +
           std::to_string(static_cast<unsigned>(day.day()));
}

std::string shortDateTimeNow() {
    std::chrono::minutes time = localTimeOfDay();
    char clock[8];
    std::snprintf(clock, sizeof clock, "%02d:%02d", static_cast<int>(time.count() / 60 % 24),
                  static_cast<int>(time.count() % 60));
    return shortDateToday() + " " + clock;
}

void setTodayForTesting(std::optional<std::chrono::year_month_day> day) {
    std::lock_guard lock(seamMutex);
    fixedDay = day;
}

} // namespace platform
