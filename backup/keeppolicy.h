#pragma once

#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

namespace backup {

// Which dated backups pruning keeps: the newest backup of each of the `daily` latest days that
// have backups, of each of the `weekly` latest weeks (ISO weeks, Monday to Sunday) and of each of
// the `monthly` latest months; the newest backup of all is always kept.
struct KeepPolicy {
    int daily = 0;
    int weekly = 0;
    int monthly = 0;
};

// One backup to decide on: its day, and its place among backups of the same day (higher is
// newer: the catalog's order).
struct DatedBackup {
    std::chrono::year_month_day day;
    int order = 0;
};

// The day of a backup folder's name as FormBackupName makes it (2004_5_1_Back), or nullopt when
// the name is no such date: a folder of that name is never pruned.
std::optional<std::chrono::year_month_day> backupDay(std::string_view backupName);

// For each backup, whether the policy keeps it.
std::vector<bool> backupsToKeep(const std::vector<DatedBackup>& backups, const KeepPolicy& policy);

} // namespace backup
