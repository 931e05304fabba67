#include "application.h"
#include "forms.h"
#include "tform1.h"

#include "cli/commands.h"
#include "platform/console.h"
#include "platform/process.h"
#include "text/codepage.h"
#include "toolkit/messagebox.h"

#include <string>
#include <vector>

namespace {

const text::Text kNoDisplay{
    u8"沒有可以顯示視窗的螢幕（未設定 DISPLAY 或 WAYLAND_DISPLAY），無法開啟視窗。\n"
    u8"不開視窗備份：tarnwick2004 --backup\n"
    u8"所有選項：tarnwick2004 --help\n"};

} // namespace

int main(int argc, char** argv) {
    // A backup from the command line, the help and the version need no display: they are done
    // before the toolkit starts.
    std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    cli::HostConsole console;
    if (std::optional<int> status = cli::runCommandLine(arguments, console))
        return *status;
    // Without a display the toolkit would end the program with an abort and its own hint.
    if (!platform::windowsCanShow(arguments)) {
        console.writeError(kNoDisplay.str());
        return 1;
    }

    TarnwickApplication app(argc, argv);
    try {
        // The windows live until the process ends; they are not taken down one by one, which
        // would wait for the workers.
        Forms* forms = new Forms;
        forms->Form1->show();
        app.exec();
    } catch (...) {
        toolkit::showException(std::current_exception());
    }
    // Ends without waiting for the workers' walks: a file being copied has no name yet and goes
    // with the process, or, where files are written under a temporary name (Windows, FAT), the
    // end waits for that one copy.
    platform::endProcess(0);
}
