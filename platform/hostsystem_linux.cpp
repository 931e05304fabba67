#include "hostsystem.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <unistd.h>

namespace platform {

std::chrono::year_month_day localToday() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return std::chrono::year(local.tm_year + 1900) /
           std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)) /
           std::chrono::day(static_cast<unsigned>(local.tm_mday));
}

std::chrono::minutes localTimeOfDay() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return std::chrono::hours(local.tm_hour) + std::chrono::minutes(local.tm_min);
}

long currentProcessId() {
    return static_cast<long>(::getpid());
}

bool processMayBeRunning(long id) {
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
}

} // namespace platform
