#include "hostsystem.h"

#include "win32.h"

namespace platform {

std::chrono::year_month_day localToday() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return std::chrono::year(local.wYear) / std::chrono::month(local.wMonth) /
           std::chrono::day(local.wDay);
}

std::chrono::minutes localTimeOfDay() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return std::chrono::hours(local.wHour) + std::chrono::minutes(local.wMinute);
}

void quietDriveErrors() {
    static const UINT before = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    (void)before;
}

long currentProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

bool processMayBeRunning(long id) {
    HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (!process)
        return ::GetLastError() != ERROR_INVALID_PARAMETER; // no such process
    DWORD code = 0;
    bool running = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

} // namespace platform
