// The program's windows driven as a user drives them, on whatever system and display it runs on
// (the Windows build under Wine, the Linux build beside it):
// tarnwick2004-windowcheck FOLDER [GONE]
// With the saved choice of the program folder (the caller writes it), it clicks 下一步, waits for
// the count, clicks 開始備份 and answers the completion box; removes the folder GONE (a path of
// this system, ASCII), as a user who lost it would; then opens the restore dialog by its
// label on the main window, picks the newest restore point and its first folder and clicks its
// button, and answers that box. It saves main-window.png, backup-dialog.png and
// restore-dialog.png into FOLDER and writes each step and every message box on its output.
// Exits 0 when every step came, 1 (naming the step) when one did not within 30 seconds.

#include "application.h"
#include "forms.h"
#include "tform1.h"

#include "backup/tform2.h"
#include "platform/process.h"
#include "restore/tform3.h"
#include "text/codepage.h"
#include "toolkit/messagebox.h"
#include "widgets/bitbtn.h"
#include "widgets/listview.h"
#include "widgets/panel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Step {
    const char* name;
    std::function<bool()> ready;
    std::function<void()> act;
};

// Takes the steps in order, each once it is ready. A step's action runs from a timer of its own:
// one that opens a dialog runs inside that dialog's loop, where the next steps keep being looked
// at.
class Script {
public:
    explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { tick(); });
        poll_.start(20);
        waited_.start();
    }

private:
    void tick() {
        if (next_ == steps_.size())
            return;
        Step& step = steps_[next_];
        if (!step.ready()) {
            if (waited_.elapsed() > 30000) {
                std::printf("timed out waiting for: %s\n", step.name);
                std::fflush(stdout);
                std::_Exit(1);
            }
            return;
        }
        std::printf("%s\n", step.name);
        std::fflush(stdout);
        ++next_;
        waited_.restart();
        QTimer::singleShot(0, step.act);
    }

    std::vector<Step> steps_;
    size_t next_ = 0;
    QTimer poll_;
    QElapsedTimer waited_;
};

void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

// The part of a list's row a user sees, once the list has laid it out (after rows are added).
QRect shownPartOfRow(TListView* list, int row) {
    if (row >= list->RowCount())
        return {};
    // The row spans every column, wider than a narrow list shows.
    return list->visualItemRect(list->topLevelItem(row)).intersected(list->viewport()->rect());
}

bool rowShown(TListView* list, int row) {
    return !shownPartOfRow(list, row).isEmpty();
}

// A click on a list's row, where the user would click it.
void clickRow(TListView* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, shownPartOfRow(list, row).center());
}

bool saved(QWidget& window, const QString& file) {
    if (window.grab().save(file))
        return true;
    std::printf("could not save %s\n", qPrintable(file));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    TarnwickApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments(); // Unicode on every system
    if (arguments.size() != 2 && arguments.size() != 3) {
        std::fprintf(stderr, "usage: tarnwick2004-windowcheck FOLDER [GONE]\n");
        return 2;
    }
    const QString folder = arguments[1];
    const QString gone = arguments.size() == 3 ? arguments[2] : QString();
    int answered = 0;
    toolkit::setMessageBoxHandler([&](const toolkit::MessageBoxCall& call) {
        std::printf("message: %s | %s\n", text::utf8FromAnsi(call.caption).c_str(),
                    text::utf8FromAnsi(call.text).c_str());
        std::fflush(stdout);
        ++answered;
    });

    Forms* forms = new Forms; // lives until the process ends, as in the program
    TForm1& main = *forms->Form1;
    TForm2& backup = *forms->Form2;
    TForm3& restore = *forms->Form3;
    bool allSaved = true;
    Script script({
        {"main window shown", [&] { return main.isVisible() && main.BitBtn2->isEnabled(); },
         [&] {
             allSaved = saved(main, folder + QStringLiteral("/main-window.png")) && allSaved;
             click(main.BitBtn2); // 下一步: the backup dialog, modal
         }},
        {"backup dialog counted",
         [&] {
             return backup.isVisible() && !backup.WorkerThread->running() &&
                    backup.BitBtn1->isEnabled();
         },
         [&] { click(backup.BitBtn1); }}, // 開始備份
        {"restore point being recorded", [&] { return backup.ProgressBar2->value() >= 20; },
         [&] {
             allSaved = saved(backup, folder + QStringLiteral("/backup-dialog.png")) && allSaved;
         }},
        {"backup done", [&] { return answered == 1; }, [&] { backup.close(); }},
        {"main window again", [&] { return !backup.isVisible(); },
         [&] {
             if (!gone.isEmpty() && !QDir(gone).removeRecursively())
                 std::printf("could not remove %s\n", qPrintable(gone));
             click(main.Label4); // the restore dialog, modal
         }},
        {"restore dialog listed",
         [&] { return restore.isVisible() && rowShown(restore.ListView1, 0); },
         [&] { clickRow(restore.ListView1, 0); }},
        {"restore point's folders listed", [&] { return rowShown(restore.ListView2, 0); },
         [&] { clickRow(restore.ListView2, 0); }},
        {"restore dialog counted",
         [&] { return !restore.WorkerThread->running() && restore.BitBtn1->isEnabled(); },
         [&] { click(restore.BitBtn1); }},
        {"restore done", [&] { return answered == 2; },
         [&] {
             allSaved = saved(restore, folder + QStringLiteral("/restore-dialog.png")) && allSaved;
             restore.close();
         }},
        {"finished", [&] { return !restore.isVisible(); },
         [&] {
             std::fflush(stdout);
             platform::endProcess(allSaved ? 0 : 1);
         }},
    });
    main.show();
    app.exec();
    return 1; // the last step ends the process
}
