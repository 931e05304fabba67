#include "commandline.h"

#include "text/codepage.h"

#include <algorithm>

namespace cli {
namespace {

const text::Text kUnknownOption{u8"不明的選項："};
const text::Text kNeedsFolder{u8"選項後面必須有資料夾："};
const text::Text kOnlyWithBackup{u8"此選項只能與 --backup 一起使用："};
const text::Text kSaveNeedsFolders{u8"--save 必須與 --source 或 --dest 一起使用"};
const text::Text kNeedsCount{u8"選項後面必須是 0 或正整數："};
const text::Text kOnlyWithPrune{u8"此選項只能與 --prune 一起使用："};
const text::Text kOnlyWithBackupOrPrune{u8"此選項只能與 --backup 或 --prune 一起使用："};
const text::Text kPruneWithBackup{
    u8"--prune 不能與 --backup 一起使用（備份後清除請在 --backup 後面加上 --keep-daily 等選項）"};
const text::Text kNeedsPoint{u8"選項後面必須是還原點的號碼（正整數）："};
const text::Text kNeedsDate{u8"選項後面必須是 YYYY-MM-DD 格式的日期（例如 2004-05-01）："};
const text::Text kOnlyWithRestore{u8"此選項只能與 --restore 一起使用："};
const text::Text kNotWithRestore{u8"此選項不能與 --restore 一起使用："};
const text::Text kNotWithList{u8"此選項不能與 --list 一起使用："};
const text::Text kNeedsDest{u8"必須以 --dest 指定備份目地資料夾："};
const text::Text kPointOrDate{u8"--restore 必須與 --point 或 --date 其中之一（只能一個）一起使用"};
const text::Text kOnlyWithVerify{u8"此選項只能與 --verify 一起使用："};
const text::Text kNotWithVerify{u8"此選項不能與 --verify 一起使用："};
const text::Text kPruneNeedsKeep{
    u8"--prune 必須與 --keep-daily、--keep-weekly 或 --keep-monthly 至少其中之一一起使用"};

// A count of --keep-daily and its kin: decimal digits, no more than a million.
std::optional<int> keepCount(const std::string& text) {
    if (text.empty() || text.size() > 7 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int count = std::stoi(text);
    return count <= 1000000 ? std::optional<int>(count) : std::nullopt;
}

// A restore point's number: decimal digits, a positive int.
std::optional<int> pointNumber(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int number = std::stoi(text);
    return number > 0 ? std::optional<int>(number) : std::nullopt;
}

// A day written YYYY-MM-DD (the month and the day may have one digit), a real date.
std::optional<std::chrono::year_month_day> calendarDate(const std::string& text) {
    int parts[3] = {0, 0, 0};
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        size_t end = i < 2 ? text.find('-', start) : text.size();
        size_t width = end == std::string::npos ? 0 : end - start;
        if (width == 0 || width > (i == 0 ? 4u : 2u) || (i == 0 && width < 4) ||
            text.find_first_not_of("0123456789", start) < end)
            return std::nullopt;
        parts[i] = std::stoi(text.substr(start, width));
        start = end + 1;
    }
    std::chrono::year_month_day day{std::chrono::year(parts[0]),
                                    std::chrono::month(static_cast<unsigned>(parts[1])),
                                    std::chrono::day(static_cast<unsigned>(parts[2]))};
    return day.ok() ? std::optional(day) : std::nullopt;
}

CommandLine invalid(std::string error) {
    CommandLine invalid;
    invalid.action = CommandLine::Action::Invalid;
    invalid.error = std::move(error);
    return invalid;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool backup = false;
    bool prune = false;
    bool restore = false;
    bool list = false;
    std::string restoreOnly;   // the first option that only a restore takes
    std::string notForRestore; // the first option of a backup or a pruning, not a restore's
    std::string backupOnly;    // the first option that only a backup takes
    std::string jobOnly;       // the first option that only a backup or a pruning takes
    std::string pruneOnly;     // the first option that only a pruning takes
    std::string other;         // the first argument that is none of ours
    bool verify = false;
    std::string verifyOnly; // the first option that only a verification takes
    std::string notVerify;  // the first option of ours that a verification does not take
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (argument == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (argument == "--verify") {
            verify = true;
            continue;
        }
        if (argument == "--full") {
            line.fullCompare = true;
            if (verifyOnly.empty())
                verifyOnly = argument;
            continue;
        }
        if (notVerify.empty() && argument.rfind("--", 0) == 0 && argument != "--source" &&
            argument != "--dest")
            notVerify = argument;
        if (argument == "--restore" || argument == "--list") {
            (argument == "--restore" ? restore : list) = true;
            continue;
        }
        if (argument == "--point" || argument == "--date") {
            bool point = argument == "--point";
            std::string value = i + 1 < arguments.size() ? arguments[i + 1] : std::string();
            if (point ? !(line.point = pointNumber(value)) : !(line.date = calendarDate(value)))
                return invalid((point ? kNeedsPoint : kNeedsDate).str() + argument);
            ++i;
            if (restoreOnly.empty())
                restoreOnly = argument;
            continue;
        }
        if (argument == "--folder" || argument == "--to") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty() ||
                arguments[i + 1].rfind("--", 0) == 0)
                return invalid(kNeedsFolder.str() + argument);
            (argument == "--folder" ? line.folder : line.toDir) = arguments[++i];
            if (restoreOnly.empty())
                restoreOnly = argument;
            continue;
        }
        if (notForRestore.empty() && argument.rfind("--", 0) == 0 && argument != "--dest" &&
            argument != "--quiet" && argument != "--backup" && argument != "--prune")
            notForRestore = argument;
        if (argument == "--backup") {
            backup = true;
        } else if (argument == "--prune") {
            prune = true;
            continue;
        } else if (argument == "--keep-daily" || argument == "--keep-weekly" ||
                   argument == "--keep-monthly") {
            std::optional<int> count =
                i + 1 < arguments.size() ? keepCount(arguments[i + 1]) : std::nullopt;
            if (!count)
                return invalid(kNeedsCount.str() + argument);
            ++i;
            backup::KeepPolicy& keep = line.keep ? *line.keep : line.keep.emplace();
            (argument == "--keep-daily"    ? keep.daily
             : argument == "--keep-weekly" ? keep.weekly
                                           : keep.monthly) = *count;
            if (jobOnly.empty())
                jobOnly = argument;
            continue;
        } else if (argument == "--dry-run") {
            line.dryRun = true;
            if (pruneOnly.empty())
                pruneOnly = argument;
            continue;
        } else if (argument == "--source" || argument == "--dest") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty() ||
                arguments[i + 1].rfind("--", 0) == 0)
                return invalid(kNeedsFolder.str() + argument);
            (argument == "--source" ? line.sourceDir : line.destDir) = arguments[++i];
        } else if (argument == "--save") {
            line.save = true;
        } else if (argument == "--quiet") {
            line.quiet = true;
        } else if (argument == "--full-copy") {
            line.fullCopy = true;
        } else if (argument.rfind("--", 0) == 0) {
            return invalid(kUnknownOption.str() + argument);
        } else {
            if (other.empty())
                other = argument; // the toolkit's, for a window
            continue;
        }
        if (argument == "--dest" || argument == "--quiet") { // a pruning takes them too
            if (jobOnly.empty())
                jobOnly = argument;
        } else if (argument != "--backup" && backupOnly.empty()) {
            backupOnly = argument;
        }
    }
    if (verify) {
        if (!notVerify.empty())
            return invalid(kNotWithVerify.str() + notVerify);
        if (!other.empty())
            return invalid(kUnknownOption.str() + other);
        line.action = CommandLine::Action::Verify;
        return line;
    }
    if (!verifyOnly.empty())
        return invalid(kOnlyWithVerify.str() + verifyOnly);
    if (restore || list) {
        if (!other.empty())
            return invalid(kUnknownOption.str() + other);
        // One thing at a time: the first of the others is named.
        for (const char* action : {"--backup", "--prune", "--list"})
            if (std::find(arguments.begin(), arguments.end(), action) != arguments.end() &&
                (restore || std::string(action) != "--list"))
                return invalid((restore ? kNotWithRestore : kNotWithList).str() + action);
        if (!notForRestore.empty())
            return invalid((restore ? kNotWithRestore : kNotWithList).str() + notForRestore);
        if (list && (!restoreOnly.empty() || line.quiet))
            return invalid(kNotWithList.str() + (restoreOnly.empty() ? "--quiet" : restoreOnly));
        if (!line.destDir)
            return invalid(kNeedsDest.str() + (restore ? "--restore" : "--list"));
        if (restore && line.point.has_value() == line.date.has_value())
            return invalid(kPointOrDate.str());
        line.action = restore ? CommandLine::Action::Restore : CommandLine::Action::List;
        return line;
    }
    if (!restoreOnly.empty())
        return invalid(kOnlyWithRestore.str() + restoreOnly);
    if (backup && prune)
        return invalid(kPruneWithBackup.str());
    if (!backup && !prune) {
        if (!backupOnly.empty())
            return invalid(kOnlyWithBackup.str() + backupOnly);
        if (!jobOnly.empty())
            return invalid(kOnlyWithBackupOrPrune.str() + jobOnly);
        if (!pruneOnly.empty())
            return invalid(kOnlyWithPrune.str() + pruneOnly);
        return line;
    }
    if (!other.empty())
        return invalid(kUnknownOption.str() + other);
    if (prune) {
        if (!backupOnly.empty())
            return invalid(kOnlyWithBackup.str() + backupOnly);
        if (!line.keep)
            return invalid(kPruneNeedsKeep.str());
        line.action = CommandLine::Action::Prune;
        return line;
    }
    if (!pruneOnly.empty())
        return invalid(kOnlyWithPrune.str() + pruneOnly);
    if (line.save && !line.sourceDir && !line.destDir)
        return invalid(kSaveNeedsFolders.str());
    line.action = CommandLine::Action::Backup;
    return line;
}

} // namespace cli
