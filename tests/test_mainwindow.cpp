#include "support/messagerecorder.h"
#include "support/testdrives.h"
#include "walk/walkthread.h"

#include "app/forms.h"
#include "app/tform1.h"
#include "app/tform4.h"
#include "backup/tform2.h"
#include "faults/faults.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "restore/tform3.h"
#include "store/backupstore.h"
#include "text/codepage.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/drivecombobox.h"
#include "widgets/image.h"
#include "widgets/listview.h"
#include "widgets/panel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <regex>

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const std::string kSourceKey = ansi(u8"備份來源目錄=");
const std::string kDestKey = ansi(u8"備份目標目錄=");

// Runs `act` on the modal dialog that the next step opens, then closes it.
void onNextModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        act(dialog);
        if (dialog->isVisible())
            dialog->close();
    });
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TestDrives> drives;
    std::unique_ptr<testsupport::MessageRecorder> messages;

    fs::path programFolder() { return drives->host(u8"C:\\Program Files\\Tarnwick2004"); }

    void writeSettings(const std::string& source, const std::string& dest) {
        writeFile(programFolder() / "SystemBackRD.ini",
                  kSourceKey + source + "\r\n" + kDestKey + dest + "\r\n");
    }

    static std::vector<std::string> entriesOf(const TDriveComboBox& selector) {
        std::vector<std::string> entries;
        for (int i = 0; i < selector.entryCount(); ++i)
            entries.push_back(selector.entryText(i));
        return entries;
    }

    std::vector<std::string> messageTexts() {
        std::vector<std::string> texts;
        for (const toolkit::MessageBoxCall& call : messages->calls())
            texts.push_back(call.text);
        return texts;
    }

private slots:
    // The worker's pause between passes waits for a user's next click; a test clicks at once.
    void initTestCase() { walk::WalkThread::setPauseForTesting(std::chrono::milliseconds(0)); }
    void init() {
        drives = std::make_unique<testsupport::TestDrives>();
        messages = std::make_unique<testsupport::MessageRecorder>();
        fs::create_directories(drives->driveFolder('d') / "Work" / "Docs" / "Sub");
        fs::create_directories(drives->driveFolder('e') / "Bak");
    }
    void cleanup() {
        faults::clear(); // also after a test that failed with faults planted
        messages.reset();
        drives.reset();
    }

    void theWindowHasItsShapeAndParts() {
        Forms forms;
        TForm1& form = *forms.Form1;
        QCOMPARE(form.size(), QSize(568, 423));
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(form.windowTitle(), QString::fromUtf8("Tarnwick 2004"));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(53, 116, 170));
        // The strip above the body exists only from x = 200 rightwards.
        QVERIFY(!form.mask().contains(QPoint(100, 10)));
        QVERIFY(form.mask().contains(QPoint(300, 10)));
        QVERIFY(form.mask().contains(QPoint(100, 30)));
        QVERIFY(!form.mask().contains(QPoint(1, 21))); // rounded corner
        QVERIFY(!form.mask().contains(QPoint(566, 421)));
        struct Place {
            const char* name;
            QRect geometry;
        };
        for (const Place& place : {Place{"Image1", {1, 20, 568, 409}},
                                   {"BitBtn2", {425, 364, 129, 25}},
                                   {"DirectoryListBox3", {296, 112, 257, 185}},
                                   {"DriveComboBox1", {16, 88, 257, 19}},
                                   {"Panel4", {296, 297, 257, 26}}}) {
            auto* widget = form.findChild<QWidget*>(QString::fromLatin1(place.name));
            QVERIFY2(widget, place.name);
            QCOMPARE(widget->geometry(), place.geometry);
        }
        // The link sizes itself to its text, from its designed place.
        QCOMPARE(form.Label4->pos(), QPoint(380, 14));
        QVERIFY(form.Label4->width() >= 60 && form.Label4->height() >= 13);
        QVERIFY(!form.BitBtn1->isVisibleTo(&form));
        QVERIFY(form.findChild<QObject*>(QStringLiteral("ImageList1")));
        QCOMPARE(form.Label3->caption(), ansi(u8" 備份狀態：") + "  ==>  C:");
    }

    void aFailedBackupWithoutAWindowIsToldOnceAtTheNextStart() {
        // As the command line leaves it after a night whose backup failed.
        const std::string failed =
            ansi(u8"時間=2004/5/1 02:30\r\n來源=D:\\Data\r\n目地=E:\\Missing\r\n結果=2\r\n"
                 u8"原因=找不到備份目地資料夾：E:\\Missing\r\n已告知=0\r\n");
        const std::string told = failed.substr(0, failed.size() - 3) + "1\r\n";
        const std::string message =
            ansi(u8"2004/5/1 02:30 不開視窗的備份失敗，沒有備份任何檔案：\nD:\\Data  ==>  "
                 u8"E:\\Missing\n找不到備份目地資料夾：E:\\Missing");
        fs::path record = programFolder() / "LastBackup.ini";
        // Starts the window and waits until what it left for once it is up has run (a timer
        // queued after the window's own runs after it).
        auto startAndClose = [] {
            Forms forms;
            bool up = false;
            QTimer::singleShot(0, [&up] { up = true; });
            QTRY_VERIFY(up);
        };

        writeFile(record, failed);
        startAndClose();
        QCOMPARE(messageTexts(), std::vector<std::string>{message});
        QCOMPARE(messages->calls()[0].kind, toolkit::MessageBoxKind::Simple);
        QCOMPARE(readFile(record), told);
        startAndClose(); // told once: the next start is silent
        QCOMPARE(messages->calls().size(), size_t{1});
        QCOMPARE(readFile(record), told);

        // Some files missing: told in its own words.
        writeFile(record,
                  ansi(u8"時間=2004/5/2 02:30\r\n來源=D:\\Data\r\n目地=E:\\Bak\\2004_5_2_Back"
                       u8"\r\n結果=1\r\n原因=有 1 個檔案無法備份\r\n已告知=0\r\n"));
        startAndClose();
        QCOMPARE(messageTexts().back(),
                 ansi(u8"2004/5/2 02:30 不開視窗的備份未完成，有些檔案或資料夾沒有備份：\n"
                      u8"D:\\Data  ==>  E:\\Bak\\2004_5_2_Back\n有 1 個檔案無法備份"));
        messages->clear();

        // A backup that ended well, and damaged records (cut short, a line missing, a status
        // the program never writes, far too long), are not told and are left as they are.
        for (const std::string& bytes :
             {std::string(ansi(u8"時間=2004/5/1 02:30\r\n來源=D:\\Data\r\n目地=E:\\Bak\r\n"
                               u8"結果=0\r\n原因=\r\n已告知=0\r\n")),
              failed.substr(0, failed.size() - 2), failed.substr(0, failed.find(ansi(u8"原因"))),
              std::regex_replace(failed, std::regex("=2"), "=3"),
              failed + std::string(100000, 'x') + "\r\n"}) {
            writeFile(record, bytes);
            startAndClose();
            QVERIFY2(messages->calls().empty(), bytes.c_str());
            QVERIFY(readFile(record) == bytes);
        }

        // One that cannot be read is named.
        writeFile(record, failed);
        faults::failReadAt("LastBackup.ini", 10, EIO);
        startAndClose();
        QCOMPARE(messageTexts(),
                 std::vector<std::string>{ansi(u8"無法讀取：C:\\Program Files\\Tarnwick2004\\"
                                               u8"LastBackup.ini（磁碟讀寫錯誤）")});
        QCOMPARE(readFile(record), failed);
    }

    void withoutSettingsBothListsStartAtDriveC() {
        Forms forms;
        TForm1& form = *forms.Form1;
        QCOMPARE(form.DirectoryListBox1->Directory(), std::string("C:\\"));
        QCOMPARE(form.DirectoryListBox3->Directory(), std::string("C:\\"));
        QVERIFY(form.SourceName.empty());
        QVERIFY(!form.BitBtn2->isEnabled());
        QCOMPARE(form.DestDir, std::string("C:"));
        QVERIFY(messages->calls().empty());
    }

    void savedFoldersAreShownAgain() {
        fs::create_directories(programFolder());
        writeSettings("D:\\Work\\Docs", "E:\\Bak");
        Forms forms;
        TForm1& form = *forms.Form1;
        QCOMPARE(form.DirectoryListBox1->Directory(), std::string("D:\\Work\\Docs"));
        QCOMPARE(form.SourceName, std::string("Docs"));
        QCOMPARE(form.SourceDir, std::string("D:\\Work\\Docs"));
        QCOMPARE(form.DestDir, std::string("E:\\Bak"));
        QCOMPARE(form.DestName, std::string("Bak"));
        QCOMPARE(form.Panel3->caption(), ansi(u8" 來源資料夾：Docs"));
        QCOMPARE(form.Panel4->caption(), ansi(u8" 目地資料夾：Bak"));
        QCOMPARE(form.Label3->caption(), ansi(u8" 備份狀態：D:\\Work\\Docs  ==>  E:\\Bak"));
        QVERIFY(form.BitBtn2->isEnabled());
        QCOMPARE(form.DriveComboBox1->Drive(), 'D');
        QCOMPARE(form.DriveComboBox3->Drive(), 'E');
        // The list shows the path from the root down, then the sub-folders.
        std::vector<std::string> entries;
        for (int i = 0; i < form.DirectoryListBox1->EntryCount(); ++i)
            entries.push_back(form.DirectoryListBox1->EntryText(i));
        QCOMPARE(entries, (std::vector<std::string>{"D:\\", "Work", "Docs", "Sub"}));
        QCOMPARE(form.DirectoryListBox1->ItemIndex(), 2);
    }

    void aDeletedSavedFolderSendsBothListsToDriveC() {
        fs::create_directories(programFolder());
        writeSettings("D:\\Gone", "E:\\Bak");
        Forms forms;
        QCOMPARE(forms.Form1->DirectoryListBox1->Directory(), std::string("C:\\"));
        QCOMPARE(forms.Form1->DirectoryListBox3->Directory(), std::string("C:\\"));
        QVERIFY(!forms.Form1->BitBtn2->isEnabled());
        QVERIFY(messages->calls().empty());
    }

    // A backup folder on its way out (a pruning cut short) is never offered as a folder.
    void aFolderBeingRemovedIsNotListed() {
        fs::create_directories(drives->driveFolder('e') / "Bak" / "2004_5_2_Back");
        fs::create_directories(drives->driveFolder('e') / "Bak" / ".2004_5_1_Back.tw-removing");
        Forms forms;
        TForm1& form = *forms.Form1;
        form.DirectoryListBox3->SetDirectory("E:\\Bak");
        std::vector<std::string> entries;
        for (int i = 0; i < form.DirectoryListBox3->EntryCount(); ++i)
            entries.push_back(form.DirectoryListBox3->EntryText(i));
        QCOMPARE(entries, (std::vector<std::string>{"E:\\", "Bak", "2004_5_2_Back"}));
    }

    void everyDriveRootIsRefusedAsSource() {
        drives->addDrive('j', drives->driveFolder('j'));
        Forms forms;
        TForm1& form = *forms.Form1;
        form.DirectoryListBox1->SetDirectory("D:\\Work");
        QVERIFY(form.BitBtn2->isEnabled());
        QCOMPARE(form.Label3->caption(), ansi(u8" 備份狀態：D:\\Work  ==>  C:"));
        for (const char* root : {"J:\\", "D:\\", "E:"}) {
            form.DirectoryListBox1->SetDirectory(root);
            QVERIFY2(!form.BitBtn2->isEnabled(), root);
            QVERIFY(form.SourceName.empty());
            QVERIFY(form.SourceDir.empty());
            QCOMPARE(form.Panel3->caption(), ansi(u8" 來源資料夾："));
            QCOMPARE(form.Label3->caption(), ansi(u8" 備份狀態："));
            form.DirectoryListBox1->SetDirectory("D:\\Work");
        }
    }

    void statusLineFollowsBothPickers() {
        Forms forms;
        TForm1& form = *forms.Form1;
        // A destination with no source yet: the heading, nothing, the long arrow, the folder.
        form.DirectoryListBox3->SetDirectory("E:\\Bak");
        QCOMPARE(form.Label3->caption(), ansi(u8" 備份狀態：  ==>  E:\\Bak"));
        QVERIFY(!form.BitBtn2->isEnabled());
        // A root destination is kept as letter and colon.
        form.DirectoryListBox3->SetDirectory("E:\\");
        QCOMPARE(form.DestDir, std::string("E:"));
        QCOMPARE(form.Panel4->caption(), ansi(u8" 目地資料夾：E:\\"));
        form.DirectoryListBox1->SetDirectory("D:\\Work\\Docs");
        QCOMPARE(form.Label3->caption(), ansi(u8" 備份狀態：D:\\Work\\Docs  ==>  E:"));
        // A source with no destination gives the short arrow.
        form.DestDir.clear();
        form.DirectoryListBox1->SetDirectory("D:\\Work");
        QCOMPARE(form.Label3->caption(), ansi(u8" 備份狀態：D:\\Work  ==>"));
    }

    void openingEntriesMovesTheList() {
        Forms forms;
        TDirectoryListBox& list = *forms.Form1->DirectoryListBox1;
        list.SetDirectory("D:\\Work\\Docs");
        // Entries: D:\, Work, Docs, Sub.
        list.SetItemIndex(3);
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(list.Directory(), std::string("D:\\Work\\Docs\\Sub"));
        QCOMPARE(forms.Form1->SourceName, std::string("Sub"));
        list.OpenEntry(1);
        QCOMPARE(list.Directory(), std::string("D:\\Work"));
        list.OpenEntry(0);
        QCOMPARE(list.Directory(), std::string("D:\\"));
        QVERIFY(!forms.Form1->BitBtn2->isEnabled());
        // A folder that cannot be entered changes nothing and says so.
        fs::create_directories(drives->driveFolder('d') / "Brief");
        list.SetDirectory("D:\\Brief");
        fs::remove(drives->driveFolder('d') / "Brief");
        QVERIFY_THROWS_EXCEPTION(std::exception, list.SetDirectory("D:\\Gone"));
        QCOMPARE(list.Directory(), std::string("D:\\Brief"));
    }

    void drivesAreListedWithTheirTypes() {
        drives->addDrive('a', drives->driveFolder('a'));
        drives->addDrive('b', drives->driveFolder('b'));
        drives->addDrive('f', drives->driveFolder('f'));
        drives->addDrive('g', drives->driveFolder('g'));
        drives->addDrive('h', drives->driveFolder('h'));
        drives->addDrive('i', drives->driveFolder('i'));
        using platform::DriveOverride;
        platform::overrideDrive('a', DriveOverride{platform::kDriveRemovable, std::nullopt});
        platform::overrideDrive('b', DriveOverride{platform::kDriveRemovable, "USB"});
        platform::overrideDrive('c', DriveOverride{platform::kDriveFixed, "SYSTEM"});
        platform::overrideDrive('d', DriveOverride{platform::kDriveCdRom, std::nullopt});
        platform::overrideDrive('e', DriveOverride{platform::kDriveRemote, ansi(u8"共用")});
        platform::overrideDrive('f', DriveOverride{platform::kDriveRamDisk, ""});
        platform::overrideDrive('g', DriveOverride{platform::kDriveUnknown, "X"});
        platform::overrideDrive('h', DriveOverride{platform::kDriveNoRootDir, std::nullopt});
        platform::overrideDrive('i', DriveOverride{platform::kDriveFixed, ""});
        Forms forms;
        std::vector<std::string> expected = {ansi(u8"A:\\[軟碟機]()"),
                                             ansi(u8"B:\\[抽取式裝置](USB)"),
                                             ansi(u8"C:\\[本機硬碟](SYSTEM)"),
                                             ansi(u8"D:\\[光碟機]()"),
                                             ansi(u8"E:\\[網路硬碟](共用)"),
                                             ansi(u8"F:\\[抽取式裝置]()"),
                                             "G:\\X)",
                                             "H:\\)",
                                             ansi(u8"I:\\[本機硬碟]()")};
        // The labels come in as they are read.
        for (TDriveComboBox* selector : {forms.Form1->DriveComboBox1, forms.Form1->DriveComboBox3})
            QTRY_COMPARE(entriesOf(*selector), expected);
    }

    // A drive whose label does not come (a network drive out of reach) holds up neither the
    // window nor the other drives: the window shows and can be used, the drive listed as one
    // without a label, until its label is in.
    void aDriveSlowToGiveItsLabelDoesNotHoldTheWindowUp() {
        drives->addDrive('f', drives->driveFolder('f'));
        platform::overrideDrive('c', platform::DriveOverride{platform::kDriveFixed, "SYSTEM"});
        platform::overrideDrive('f', platform::DriveOverride{platform::kDriveFixed, "DATA"});
        testsupport::SlowLabel slow('e', platform::kDriveRemote, ansi(u8"共用"));
        Forms forms;
        TForm1& form = *forms.Form1;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(slow.held());
        const std::string waiting = ansi(u8"E:\\[網路硬碟]()");
        for (TDriveComboBox* selector : {form.DriveComboBox1, form.DriveComboBox3}) {
            QTRY_COMPARE(selector->entryText(0), ansi(u8"C:\\[本機硬碟](SYSTEM)"));
            QTRY_COMPARE(selector->entryText(3), ansi(u8"F:\\[本機硬碟](DATA)"));
            QCOMPARE(selector->entryText(2), waiting);
        }
        // Usable meanwhile: picking a drive moves its list.
        form.DriveComboBox1->setCurrentIndex(1);
        emit form.DriveComboBox1->activated(1);
        QCOMPARE(form.DirectoryListBox1->Directory(), std::string("D:\\"));
        QVERIFY(slow.held());
        QCOMPARE(form.DriveComboBox3->entryText(2), waiting);

        slow.release();
        for (TDriveComboBox* selector : {form.DriveComboBox1, form.DriveComboBox3})
            QTRY_COMPARE(selector->entryText(2), ansi(u8"E:\\[網路硬碟](共用)"));
        QCOMPARE(form.DriveComboBox1->currentIndex(), 1);
    }

    void pickingADriveMovesItsList() {
        Forms forms;
        TForm1& form = *forms.Form1;
        int dIndex = -1;
        for (int i = 0; i < form.DriveComboBox1->entryCount(); ++i)
            if (form.DriveComboBox1->entryText(i)[0] == 'D')
                dIndex = i;
        QVERIFY(dIndex >= 0);
        form.DriveComboBox1->setCurrentIndex(dIndex);
        emit form.DriveComboBox1->activated(dIndex);
        QCOMPARE(form.DirectoryListBox1->Directory(), std::string("D:\\"));
        form.DirectoryListBox1->SetDirectory("D:\\Work");
        QCOMPARE(form.Panel3->caption(), ansi(u8" 來源資料夾：Work"));
        // Picking the drive the list is on already leaves it where it is.
        emit form.DriveComboBox1->activated(dIndex);
        QCOMPARE(form.DirectoryListBox1->Directory(), std::string("D:\\Work"));
        QVERIFY(form.BitBtn2->isEnabled());
    }

    void aDriveWhoseFolderIsMissingIsListedAndRefused() {
#ifdef _WIN32
        QSKIP("the tests' drives on Windows are folders of a table: a drive is there with its "
              "folder or not at all");
#endif
        drives->addDrive('g', drives->base() / "unplugged");
        Forms forms;
        TForm1& form = *forms.Form1;
        int gIndex = -1;
        for (int i = 0; i < form.DriveComboBox3->entryCount(); ++i)
            if (form.DriveComboBox3->entryText(i) == "G:\\)")
                gIndex = i;
        QVERIFY(gIndex >= 0); // its root alone: no type, no label
        std::string before = form.DirectoryListBox3->Directory();
        form.DriveComboBox3->setCurrentIndex(gIndex);
        emit form.DriveComboBox3->activated(gIndex);
        QCOMPARE(messageTexts(), (std::vector<std::string>{ansi(u8"無法進入資料夾：G:\\")}));
        QCOMPARE(form.DirectoryListBox3->Directory(), before);
    }

    void openDriveListsShowTheirPickersColours() {
        Forms forms;
        TForm1& form = *forms.Form1;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (TDriveComboBox* selector : {form.DriveComboBox1, form.DriveComboBox3}) {
            bool source = selector == form.DriveComboBox1;
            selector->showPopup();
            QAbstractItemView* list = selector->view();
            QTRY_VERIFY(list->isVisible());
            // Every entry's text but the highlighted one's: blue on the left, red on the right,
            // never black (right of the drive pictures).
            QImage drawn = list->grab().toImage();
            int coloured = 0;
            int black = 0;
            int textStart = selector->iconSize().width() + 8;
            for (int y = 0; y < drawn.height(); ++y)
                for (int x = textStart; x < drawn.width(); ++x) {
                    QColor pixel = drawn.pixelColor(x, y);
                    int own = source ? pixel.blue() : pixel.red();
                    int others = source ? std::max(pixel.red(), pixel.green())
                                        : std::max(pixel.blue(), pixel.green());
                    coloured += own > 150 && others < 90;
                    black += pixel.red() < 60 && pixel.green() < 60 && pixel.blue() < 60;
                }
            QVERIFY2(coloured > 20, qPrintable(QString::number(coloured)));
            QCOMPARE(black, 0);
            selector->hidePopup();
        }
    }

    void theRestoreLinkShowsWholeAndUnderlined() {
        Forms forms;
        TLabel* link = forms.Form1->Label4;
        QVERIFY(link->font().underline());
        QFontMetrics metrics(link->font());
        QVERIFY(link->height() >= metrics.height()); // the glyphs' bottoms are in the box
        QVERIFY(link->width() >= metrics.horizontalAdvance(link->text()));
        // The underline is drawn: a white row under the text, within the box.
        QImage drawn = link->grab().toImage();
        int textWidth = metrics.horizontalAdvance(link->text().trimmed());
        bool underlined = false;
        for (int y = drawn.height() / 2; y < drawn.height() && !underlined; ++y) {
            int white = 0;
            for (int x = 0; x < drawn.width(); ++x)
                white += drawn.pixelColor(x, y).lightness() > 200;
            underlined = white >= textWidth * 3 / 4;
        }
        QVERIFY(underlined);
    }

    void draggingMovesTheWindowWithThePointer() {
        Forms forms;
        TForm1& form = *forms.Form1;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.move(100, 100);
        QPoint start = form.pos();
        // The pointer moves in screen coordinates; the control under it moves with the window.
        auto pointerTo = [](QWidget* control, QPoint global) {
            QTest::mouseMove(control, global - control->mapToGlobal(QPoint(0, 0)));
        };
        // Any button, on a background picture: no threshold, the first pixel counts.
        QPoint pressed = form.Image1->mapToGlobal(QPoint(50, 50));
        QTest::mousePress(form.Image1, Qt::RightButton, {}, QPoint(50, 50));
        pointerTo(form.Image1, pressed + QPoint(1, 0));
        QCOMPARE(form.pos(), start + QPoint(1, 0));
        pointerTo(form.Image1, pressed + QPoint(30, -20));
        QCOMPARE(form.pos(), start + QPoint(30, -20));
        pointerTo(form.Image1, pressed + QPoint(-45, 7));
        QCOMPARE(form.pos(), start + QPoint(-45, 7));
        QTest::mouseRelease(form.Image1, Qt::RightButton, {}, QPoint(50, 50));
        QVERIFY(!form.Dragging);
        QTest::mouseMove(form.Image1, QPoint(10, 10));
        QCOMPARE(form.pos(), start + QPoint(-45, 7));

        // The title strip and the bare form drag too; a panel or a button does not.
        start = form.pos();
        pressed = form.Image2->mapToGlobal(QPoint(300, 10));
        QTest::mousePress(form.Image2, Qt::LeftButton, {}, QPoint(300, 10));
        pointerTo(form.Image2, pressed + QPoint(10, 5));
        QTest::mouseRelease(form.Image2, Qt::LeftButton, {}, QPoint(300, 10));
        QCOMPARE(form.pos(), start + QPoint(10, 5));
        start = form.pos();
        pressed = form.mapToGlobal(QPoint(5, 330)); // the form itself, as under an uncovered spot
        QTest::mousePress(&form, Qt::MiddleButton, {}, QPoint(5, 330));
        pointerTo(&form, pressed + QPoint(-3, 4));
        QTest::mouseRelease(&form, Qt::MiddleButton, {}, QPoint(5, 330));
        QCOMPARE(form.pos(), start + QPoint(-3, 4));
        QTest::mousePress(form.Panel3, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!form.Dragging);
        QTest::mouseRelease(form.Panel3, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mousePress(form.Label3, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!form.Dragging);
        QTest::mouseRelease(form.Label3, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mousePress(form.Image3, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!form.Dragging);
        // Buttons and selectors let other buttons than the left one through; still no drag.
        for (QWidget* control :
             std::initializer_list<QWidget*>{form.BitBtn2, form.DriveComboBox3}) {
            QTest::mousePress(control, Qt::RightButton, {}, QPoint(5, 5));
            QVERIFY(!form.Dragging);
            QTest::mouseRelease(control, Qt::RightButton, {}, QPoint(5, 5));
        }
    }

    void theRestoreLinkLightsUpUnderThePointer() {
        // The window's own events, as the pointer enters and leaves: what the user sees.
        Forms forms;
        TForm1& form = *forms.Form1;
        QPointF inside(5, 5);
        QEnterEvent enter(inside, inside, form.Label4->mapToGlobal(inside));
        QApplication::sendEvent(form.Label4, &enter);
        QCOMPARE(form.Label4->palette().color(QPalette::WindowText), QColor(255, 255, 0));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(form.Label4, &leave);
        QCOMPARE(form.Label4->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        QApplication::sendEvent(form.Label2, &enter);
        QCOMPARE(form.Image3->toolTip(), QString::fromUtf8("關閉"));
        QCOMPARE(form.Label2->toolTip(), QString::fromUtf8("關閉"));
    }

    void theClosePictureEndsTheProgram() {
        Forms forms;
        forms.Form1->show();
        QVERIFY(QTest::qWaitForWindowExposed(forms.Form1.get()));
        forms.Form1->Image3Click();
        QVERIFY(!forms.Form1->isVisible());
    }

    void theRestoreLinkNeedsACatalog() {
        Forms forms;
        forms.Form1->Label4Click();
        QCOMPARE(messageTexts(), (std::vector<std::string>{ansi(u8"您尚未建立任何備份檔案")}));

        fs::create_directories(programFolder() / "Recover");
        writeFile(programFolder() / "Recover" / "BackupDir.ini",
                  "E:\\Bak\\<1>2004_5_1_Back\r\nE:\\<2>2004_5_2_Back\r\n");
        std::vector<std::string> captions;
        onNextModal([&](QWidget* dialog) {
            QCOMPARE(dialog, static_cast<QWidget*>(forms.Form3.get()));
            TListView& list = *forms.Form3->ListView1;
            for (int row = 0; row < list.RowCount(); ++row)
                captions.push_back(list.Caption(row) + "|" + list.SubItem(row, 0) + "|" +
                                   list.SubItem(row, 1));
        });
        forms.Form1->Label4Click();
        QCOMPARE(captions,
                 (std::vector<std::string>{"2004_5_2_Back|2|E:\\", "2004_5_1_Back|1|E:\\Bak\\"}));
        QCOMPARE(forms.Form3->ListView1->RowCount(), 0); // emptied on close
        QCOMPARE(messages->calls().size(), size_t{1});
    }

    void nextSavesTheChoiceAndOpensTheBackupDialog() {
        using namespace std::chrono;
        platform::setTodayForTesting(year(2004) / May / 1);
        Forms forms;
        TForm1& form = *forms.Form1;
        form.DirectoryListBox1->SetDirectory("D:\\Work\\Docs");
        form.DirectoryListBox3->SetDirectory("E:\\");
        std::vector<std::string> panels;
        std::string sourceName;
        onNextModal([&](QWidget* dialog) {
            QCOMPARE(dialog, static_cast<QWidget*>(forms.Form2.get()));
            sourceName = forms.Form2->SourceName;
            for (TPanel* panel : {forms.Form2->Panel1, forms.Form2->Panel2, forms.Form2->Panel3,
                                  forms.Form2->Panel4})
                panels.push_back(panel->caption());
        });
        form.BitBtn2Click();
        platform::setTodayForTesting(std::nullopt);
        QCOMPARE(readFile(programFolder() / "SystemBackRD.ini"),
                 kSourceKey + "D:\\Work\\Docs\r\n" + kDestKey + "E:\r\n");
        QCOMPARE(readFile(programFolder() / "TotalCount.ini"), std::string("0"));
        QVERIFY(fs::is_directory(programFolder() / "Recover"));
        QCOMPARE(form.SettingsFilePath,
                 std::string("C:\\Program Files\\Tarnwick2004\\SystemBackRD.ini"));
        QCOMPARE(form.RecordCount, 0);
        QCOMPARE(panels, (std::vector<std::string>{ansi(u8" 備份來源資料夾：D:\\Work\\Docs"),
                                                   ansi(u8" 備份目地資料夾：E:"),
                                                   ansi(u8" 備份日期：2004/5/1"),
                                                   ansi(u8" 備份名稱：2004_5_1_Back")}));
        QCOMPARE(sourceName, std::string("Docs"));
        QVERIFY(forms.Form2->SourceName.empty()); // closing the dialog empties it
    }

    void aBadCountFileStopsNext() {
        fs::create_directories(programFolder());
        writeFile(programFolder() / "TotalCount.ini", "x1");
        Forms forms;
        TForm1& form = *forms.Form1;
        form.DirectoryListBox1->SetDirectory("D:\\Work");
        bool opened = false;
        QTimer watch; // closes the dialog if it opens, so that the test cannot hang
        watch.setSingleShot(true);
        connect(&watch, &QTimer::timeout, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                opened = true;
                dialog->close();
            }
        });
        watch.start(0);
        emit form.BitBtn2->clicked(); // through the handler's guard, as a user's click
        QCoreApplication::processEvents();
        QVERIFY(!opened);
        std::vector<toolkit::MessageBoxCall> calls = messages->calls();
        QCOMPARE(calls.size(), size_t{1});
        QCOMPARE(calls[0].kind, toolkit::MessageBoxKind::Error);
        QCOMPARE(calls[0].text, std::string("'x1' is not a valid integer value"));
    }

    void aStoreFileThatCannotBeReadIsNamedAndItsStepNotTaken() {
        const std::string folder = "C:\\Program Files\\Tarnwick2004\\";
        auto cannotRead = [](const std::string& path, const char8_t* reason) {
            return ansi(u8"無法讀取：") + path + ansi(u8"（") + ansi(reason) + ansi(u8"）");
        };
        auto errors = [&] {
            std::vector<std::string> texts;
            for (const toolkit::MessageBoxCall& call : messages->calls())
                texts.push_back((call.kind == toolkit::MessageBoxKind::Error ? "error: " : "") +
                                call.text);
            return texts;
        };
        // Closes any dialog that opens, so that the test cannot hang, and notes it.
        std::vector<QWidget*> opened;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                opened.push_back(dialog);
                dialog->close();
            }
        });
        watch.start(0);

        // At start-up: the lists start at C:\ as without the file, and the user is told.
        fs::create_directories(programFolder() / "Recover");
        writeSettings("D:\\Work\\Docs", "E:\\Bak");
        writeFile(programFolder() / "TotalCount.ini", "2");
        writeFile(programFolder() / "Recover" / "BackupDir.ini",
                  "E:\\Bak\\<1>2004_5_1_Back\r\nE:\\Save\\<2>2004_5_1_Back\r\n");
        testsupport::Snapshot store = testsupport::snapshot(programFolder());
        faults::failAt("open", folder + "SystemBackRD.ini", EACCES);
        Forms forms;
        faults::clear();
        TForm1& form = *forms.Form1;
        QCOMPARE(form.DirectoryListBox1->Directory(), std::string("C:\\"));
        QCOMPARE(form.DirectoryListBox3->Directory(), std::string("C:\\"));
        QVERIFY(!form.BitBtn2->isEnabled());
        QTRY_COMPARE(errors(),
                     (std::vector<std::string>{
                         "error: " + cannotRead(folder + "SystemBackRD.ini", u8"存取被拒")}));
        QVERIFY(testsupport::snapshot(programFolder()) == store);

        // 下一步: the settings just saved, or the count, cannot be read back; the backup
        // dialog does not open.
        form.DirectoryListBox1->SetDirectory("D:\\Work\\Docs");
        form.DirectoryListBox3->SetDirectory("E:\\Bak");
        store = testsupport::snapshot(programFolder());
        messages->clear();
        faults::failReadAt(folder + "SystemBackRD.ini", 39, EIO);
        emit form.BitBtn2->clicked(); // through the handler's guard, as a user's click
        QCoreApplication::processEvents();
        faults::failAt("open", folder + "TotalCount.ini", EACCES);
        emit form.BitBtn2->clicked();
        QCoreApplication::processEvents();
        faults::clear();
        QCOMPARE(errors(),
                 (std::vector<std::string>{
                     "error: " + cannotRead(folder + "SystemBackRD.ini", u8"磁碟讀寫錯誤"),
                     "error: " + cannotRead(folder + "TotalCount.ini", u8"存取被拒")}));
        QVERIFY(testsupport::snapshot(programFolder()) == store);

        // The restore link and the history: the catalog cannot be read; neither dialog opens.
        messages->clear();
        faults::failReadAt(folder + "Recover\\BackupDir.ini", 30, EIO);
        emit form.Label4->Click();
        emit form.BitBtn3->clicked();
        QCoreApplication::processEvents();
        faults::clear();
        std::string catalogError =
            "error: " + cannotRead(folder + "Recover\\BackupDir.ini", u8"磁碟讀寫錯誤");
        QCOMPARE(errors(), (std::vector<std::string>{catalogError, catalogError}));
        QCOMPARE(forms.Form4->ListView1->RowCount(), 0);
        QCOMPARE(opened, std::vector<QWidget*>{});
        QVERIFY(testsupport::snapshot(programFolder()) == store);
    }

    void historyListsDestinationsNewestFirst() {
        Forms forms;
        TForm4& history = *forms.Form4;
        onNextModal([](QWidget*) {});
        forms.Form1->BitBtn3Click();
        QCOMPARE(messageTexts(),
                 (std::vector<std::string>{ansi(u8"您目前未建立任何備份檔...所以無記錄可查")}));

        fs::create_directories(programFolder() / "Recover");
        fs::create_directories(drives->driveFolder('e') / "Save");
        writeFile(programFolder() / "Recover" / "BackupDir.ini",
                  "E:\\Bak\\<1>2004_5_1_Back\r\nE:\\Save\\<2>2004_5_1_Back\r\n"
                  "E:\\Bak\\<3>2004_5_2_Back\r\nF:\\<4>2004_5_2_Back\r\nbroken\r\n");
        history.FillHistory();
        std::vector<std::string> rows;
        for (int row = 0; row < history.ListView1->RowCount(); ++row)
            rows.push_back(history.ListView1->Caption(row) + "|" +
                           history.ListView1->SubItem(row, 0));
        QCOMPARE(rows, (std::vector<std::string>{"|", "F:|F:", "Bak|E:\\Bak", "Save|E:\\Save",
                                                 "Bak|E:\\Bak"}));

        // Nothing chosen, a folder that is gone, then a good one.
        history.BitBtn1Click();
        history.ListView1->SelectRow(1);
        history.BitBtn1Click();
        QCOMPARE(forms.Form1->DestDir, std::string("C:"));
        history.ListView1->SelectRow(3);
        history.show();
        history.BitBtn1Click();
        QVERIFY(!history.isVisible());
        QCOMPARE(forms.Form1->DestDir, std::string("E:\\Save"));
        QCOMPARE(forms.Form1->Panel4->caption(), ansi(u8" 目地資料夾：Save"));
        QCOMPARE(messageTexts(),
                 (std::vector<std::string>{ansi(u8"您目前未建立任何備份檔...所以無記錄可查"),
                                           ansi(u8"您沒有選擇目地資料夾!!"),
                                           ansi(u8"此資料夾已不存在了!!")}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
