#include "commands.h"

#include "backupprinter.h"

#include "platform/console.h"
#include "text/codepage.h"

#include <string>
#include <vector>

namespace {

// The window belongs to the other program: a console program started by a scheduled task or a
// script must not open one, and one that stayed open would keep the caller waiting.
const text::Text kNoWindow{u8"tarnwick2004-cli 只在命令提示字元中備份、還原、驗證及清除，不開視窗；"
                           u8"程式的視窗是 tarnwick2004.exe。\n"
                           u8"不開視窗備份：tarnwick2004-cli --backup\n"
                           u8"所有選項：tarnwick2004-cli --help\n"};

} // namespace

// The command line as a console program: a command prompt, PowerShell or the Task Scheduler
// waits for it and gets its exit status, which they do not for a program with windows.
int main(int argc, char** argv) {
    std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    cli::HostConsole console;
    if (std::optional<int> status = cli::runCommandLine(arguments, console, cli::Program::Console))
        return *status;
    console.writeError(kNoWindow.str());
    return cli::kNothingBackedUp; // as for options it cannot take
}
