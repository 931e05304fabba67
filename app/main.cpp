#include "application.h"
#include "forms.h"
#include "tform1.h"

#include "platform/process.h"
#include "toolkit/messagebox.h"

int main(int argc, char** argv) {
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
    // Ends at once, without waiting for a worker that is still copying: a file it was writing
    // has no name yet and goes with the process.
    platform::endProcess(0);
}
