#include "keeppolicy.h"

#include <algorithm>
#include <numeric>
#include <string>

namespace backup {
namespace {

using namespace std::chrono;

std::optional<int> number(std::string_view digits) {
    if (digits.empty() || digits.size() > 4)
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The Monday that starts the day's ISO week: one value per week.
sys_days weekOf(const year_month_day& day) {
    sys_days days{day};
    return days - (weekday{days} - Monday);
}

int monthOf(const year_month_day& day) {
    return static_cast<int>(day.year()) * 12 + static_cast<int>(static_cast<unsigned>(day.month()));
}

// Keeps the first (newest) backup of each of the `count` first periods in `newestFirst`.
template <typename Period>
void keepPerPeriod(const std::vector<DatedBackup>& backups, const std::vector<size_t>& newestFirst,
                   int count, Period period, std::vector<bool>& keep) {
    int periods = 0;
    bool any = false;
    decltype(period(backups[0].day)) last{};
    for (size_t index : newestFirst) {
        auto current = period(backups[index].day);
        if (any && current == last)
            continue;
        if (periods == count)
            return;
        keep[index] = true;
        last = current;
        any = true;
        ++periods;
    }
}

} // namespace

std::optional<year_month_day> backupDay(std::string_view backupName) {
    constexpr std::string_view kSuffix = "_Back";
    if (!backupName.ends_with(kSuffix))
        return std::nullopt;
    std::string_view rest = backupName.substr(0, backupName.size() - kSuffix.size());
    size_t first = rest.find('_');
    size_t second = first == std::string_view::npos ? first : rest.find('_', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    std::optional<int> y = number(rest.substr(0, first));
    std::optional<int> m = number(rest.substr(first + 1, second - first - 1));
    std::optional<int> d = number(rest.substr(second + 1));
    if (!y || !m || !d || *m > 12 || *d > 31)
        return std::nullopt;
    year_month_day day{year{*y}, month{static_cast<unsigned>(*m)},
                       std::chrono::day{static_cast<unsigned>(*d)}};
    if (!day.ok())
        return std::nullopt;
    return day;
}

std::vector<bool> backupsToKeep(const std::vector<DatedBackup>& backups, const KeepPolicy& policy) {
    std::vector<bool> keep(backups.size(), false);
    if (backups.empty())
        return keep;
    std::vector<size_t> newestFirst(backups.size());
    std::iota(newestFirst.begin(), newestFirst.end(), size_t{0});
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [&](size_t a, size_t b) {
        if (backups[a].day != backups[b].day)
            return backups[a].day > backups[b].day;
        return backups[a].order > backups[b].order;
    });
    keep[newestFirst.front()] = true;
    keepPerPeriod(
        backups, newestFirst, policy.daily, [](const year_month_day& day) { return sys_days{day}; },
        keep);
    keepPerPeriod(backups, newestFirst, policy.weekly, weekOf, keep);
    keepPerPeriod(backups, newestFirst, policy.monthly, monthOf, keep);
    return keep;
}

} // namespace backup
