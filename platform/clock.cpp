#include "clock.h"

#include "hostsystem.h"

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

void setTodayForTesting(std::optional<std::chrono::year_month_day> day) {
    std::lock_guard lock(seamMutex);
    fixedDay = day;
}

} // namespace platform
