// Pictures of the backup and restore dialogs at work, for the README: dialogshots FOLDER
// Runs a real backup and restore on the drive table that TARNWICK_PREFIX names, on the
// offscreen display, and saves backup-dialog.png and restore-dialog.png into FOLDER.

#include "app/forms.h"
#include "app/tform1.h"
#include "backup/tform2.h"
#include "restore/tform3.h"
#include "store/backupstore.h"
#include "toolkit/messagebox.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/listview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QProgressBar>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

// Handles events until the condition holds (or ten seconds have passed).
bool waitFor(const std::function<bool()>& condition) {
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

bool save(QWidget& window, const QString& file) {
    return window.grab().save(file);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Noto Sans CJK TC")});
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialogshots FOLDER\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    int answered = 0;
    toolkit::setMessageBoxHandler([&](const toolkit::MessageBoxCall&) { ++answered; });

    Forms forms;
    TForm1& main = *forms.Form1;
    TForm2& backup = *forms.Form2;
    main.SaveSettings();
    backup.PrepareBackup({main.SettingsFilePath, main.RecordCount});
    backup.Timer1->setInterval(60);
    backup.show();
    if (!waitFor([&] { return !backup.WorkerThread->running(); }))
        return 1;
    emit backup.BitBtn1->clicked();
    // Half way through the restore-point animation.
    if (!waitFor([&] { return backup.ProgressBar2->value() >= 20; }) ||
        !save(backup, folder + QStringLiteral("/backup-dialog.png")))
        return 1;
    waitFor([&] { return answered == 1; });
    backup.close();

    TForm3& restore = *forms.Form3;
    restore.fillBackupList(*store::BackupStore().ReadCatalog());
    restore.show();
    restore.ListView1->SelectRow(0);
    restore.ListView1Click();
    restore.ListView2->SelectRow(0);
    restore.ListView2Click();
    if (!waitFor([&] { return !restore.WorkerThread->running(); }))
        return 1;
    emit restore.BitBtn1->clicked();
    if (!waitFor([&] { return answered == 2; }) ||
        !save(restore, folder + QStringLiteral("/restore-dialog.png")))
        return 1;
    restore.close();
    return 0;
}
