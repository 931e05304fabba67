#include "clock.h"

#include <ctime>
#include <mutex>

namespace platform {
namespace {

std::mutex seamMutex;
std::optional<std::chrono::year_month_day> fixedDay; // guarded by seamMutex

std::chrono::year_month_day localToday() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return std::chrono::year(local.tm_year + 1900) /
           std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)) /
           std::chrono::day(static_cast<unsigned>(local.tm_mday));
}

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
