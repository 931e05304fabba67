#include "commandline.h"

#include "text/codepage.h"

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
    std::string backupOnly; // the first option that only a backup takes
    std::string jobOnly;    // the first option that only a backup or a pruning takes
    std::string pruneOnly;  // the first option that only a pruning takes
    std::string other;      // the first argument that is none of ours
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
