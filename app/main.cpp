#include "application.h"
#include "forms.h"
#include "tform1.h"

#include "cli/commands.h"
#include "platform/console.h"
#include "platform/process.h"
#include "toolkit/messagebox.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // A backup from the command line, the help and the version need no display: they are done
    // before the toolkit starts.
    std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    cli::HostConsole console;
    if (std::optional<int> status = cli::runCommandLine(arguments, console))
        return *status;

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
