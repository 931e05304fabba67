#include "commandline.h"

#include "platform/codepage.h"

namespace cli {
namespace {

const platform::Text kUnknownOption{u8"不明的選項："};
const platform::Text kNeedsFolder{u8"選項後面必須有資料夾："};
const platform::Text kOnlyWithBackup{u8"此選項只能與 --backup 一起使用："};
const platform::Text kSaveNeedsFolders{u8"--save 必須與 --source 或 --dest 一起使用"};

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
    std::string backupOnly; // the first option that only a backup takes
    std::string other;      // the first argument that is none of ours
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
        if (argument == "--backup") {
            backup = true;
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
        if (argument != "--backup" && backupOnly.empty())
            backupOnly = argument;
    }
    if (!backup) {
        if (!backupOnly.empty())
            return invalid(kOnlyWithBackup.str() + backupOnly);
        return line;
    }
    if (!other.empty())
        return invalid(kUnknownOption.str() + other);
    if (line.save && !line.sourceDir && !line.destDir)
        return invalid(kSaveNeedsFolders.str());
    line.action = CommandLine::Action::Backup;
    return line;
}

} // namespace cli
