#include "support/messagerecorder.h"
#include "support/testdrives.h"

#include "faults/faults.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/filecopy.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/hostpath.h"
#include "platform/targetfolder.h"
#include "text/codepage.h"
#include "threads/uithread.h"
#include "toolkit/messagebox.h"

#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <filesystem>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::folderNames;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

std::vector<std::string> listing(std::string_view folder) {
    std::vector<std::string> names;
    platform::FolderSearch search;
    platform::FindData entry;
    for (bool more = search.findFirst(folder, entry); more; more = search.findNext(entry))
        names.push_back(entry.name);
    return names;
}

platform::FindData entryNamed(std::string_view folder, const std::string& name) {
    platform::FolderSearch search;
    platform::FindData entry;
    for (bool more = search.findFirst(folder, entry); more; more = search.findNext(entry))
        if (entry.name == name)
            return entry;
    QTest::qFail(("no entry " + name).c_str(), __FILE__, __LINE__);
    return {};
}

} // namespace

class TestHostLayer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TestDrives> drives;

private slots:
    void init() { drives = std::make_unique<testsupport::TestDrives>(); }
    void cleanup() { drives.reset(); }

    void programPathsMapOntoTheDriveTable() {
        fs::path d = drives->table() / "d:";
        QCOMPARE(*platform::hostPath("D:\\"), (d / "").string());
        QCOMPARE(*platform::hostPath("d:"), (d / "").string());
        QCOMPARE(*platform::hostPath("D:\\Bak\\a.txt"), (d / "Bak" / "a.txt").string());
        QCOMPARE(*platform::hostPath("D:\\a\\..\\..\\b\\.\\c"), (d / "b" / "c").string());
        QCOMPARE(*platform::hostPath(ansi(u8"D:\\備份")), (d / "備份").string());
        QVERIFY(text::isDriveRoot("D:\\"));
        QVERIFY(text::isDriveRoot("D:"));
        QVERIFY(!text::isDriveRoot("D:\\x"));
        for (const char* bad : {"", "D", "D:x", "\\\\server\\share", "1:\\x", "D:\\a?b", "D:\\a*",
                                "D:\\a|b", "D:\\a\"b", "D:\\x:y", "D:\\\xA4"})
            QVERIFY2(!platform::hostPath(bad), bad);
    }

    void chineseNamesRoundTripAndOthersReadAsQuestionMarks() {
        std::string name = ansi(u8"備份資料夾");
        QCOMPARE(name, std::string("\xB3\xC6\xA5\xF7\xB8\xEA\xAE\xC6\xA7\xA8"));
        QCOMPARE(*text::utf8FromAnsiStrict(name), std::string("備份資料夾"));

        QVERIFY(platform::createFolder("D:\\" + name));
        QVERIFY(fs::is_directory(drives->driveFolder('d') / "備份資料夾"));
        writeFile(drives->driveFolder('d') / "備份資料夾" / "é😀.txt", "x");
        std::vector<std::string> names = listing("D:\\" + name);
        QCOMPARE(names, (std::vector<std::string>{".", "..", "??.txt"}));
        // A name that came back with "?" cannot be used again, as on Windows.
        platform::CopyResult copy =
            platform::copyFileNoReplace("D:\\" + name + "\\??.txt", "D:\\copy.txt");
        QCOMPARE(copy.status, platform::CopyStatus::Failed);
        QCOMPARE(platform::readFile("D:\\" + name + "\\??.txt", 100).status,
                 platform::ReadStatus::Missing);
        QVERIFY(!fs::exists(drives->driveFolder('d') / "copy.txt"));

        // A host name with a backslash names no Windows file; one whose Big5 form holds the
        // byte 0x5C (許 is B3 5C) is an ordinary name.
        fs::path odd = drives->driveFolder('d') / "Odd";
        writeFile(odd / "a\\b.txt", "x");
        writeFile(odd / "許功.txt", "ok");
        std::string xu = ansi(u8"許功.txt");
        QCOMPARE(listing("D:\\Odd"), (std::vector<std::string>{".", "..", "a?b.txt", xu}));
        QCOMPARE(platform::copyFileNoReplace("D:\\Odd\\a?b.txt", "E:\\x").status,
                 platform::CopyStatus::Failed);
        QCOMPARE(platform::copyFileNoReplace("D:\\Odd\\" + xu, "E:\\" + xu).status,
                 platform::CopyStatus::Copied);
        QCOMPARE(readFile(drives->driveFolder('e') / "許功.txt"), std::string("ok"));
    }

    void foldersListInTheOrderNtfsKeeps() {
        fs::path folder = drives->driveFolder('d') / "List";
        for (const char* file : {"beta", "Alpha", "gamma", "_under", "Zulu", "delta", "10", "9"})
            writeFile(folder / file, "");
        fs::create_directory(folder / "Mid");
        std::vector<std::string> expected = {".",     "..",    "10",  "9",    "Alpha", "beta",
                                             "delta", "gamma", "Mid", "Zulu", "_under"};
        QCOMPARE(listing("D:\\List"), expected);
        QVERIFY(entryNamed("D:\\List", "Mid").isDirectory());
        QVERIFY(entryNamed("D:\\List", "..").isDirectory());
        QVERIFY(!entryNamed("D:\\List", "beta").isDirectory());

        // A drive root lists neither "." nor "..".
        fs::create_directory(drives->driveFolder('e') / "Only");
        QCOMPARE(listing("E:\\"), (std::vector<std::string>{"Only"}));
        fs::remove(drives->driveFolder('e') / "Only");
        QVERIFY(listing("E:\\").empty());
        QVERIFY(listing("D:\\Missing").empty());
        QVERIFY(listing("D:\\List\\beta").empty()); // a file is no folder
    }

    void entriesCarrySixtyFourBitSizesAndLinksAreNotFollowed() {
        fs::path folder = drives->driveFolder('d') / "Sizes";
        fs::create_directories(folder / "Inner");
        writeFile(folder / "big", "");
        fs::resize_file(folder / "big", 5ull << 30); // sparse
        writeFile(folder / "small", "12345");
        fs::create_directory_symlink(folder, folder / "Inner" / "loop");
        QCOMPARE(entryNamed("D:\\Sizes", "big").size, uint64_t{5} << 30);
        QCOMPARE(entryNamed("D:\\Sizes", "small").size, uint64_t{5});
        platform::FindData loop = entryNamed("D:\\Sizes\\Inner", "loop");
        QVERIFY(!loop.isDirectory());
        QCOMPARE(loop.size, uint64_t{0});
    }

    void copiesKeepContentsModeAndTime() {
        fs::path source = drives->driveFolder('d') / "src.bin";
        std::string contents(3 * 1024 * 1024 + 17, '\0');
        for (size_t i = 0; i < contents.size(); ++i)
            contents[i] = static_cast<char>((i * 7919) >> 3);
        writeFile(source, contents);
        fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write |
                                    fs::perms::group_read | fs::perms::others_exec);
        struct timespec times[2] = {{1083369600, 123456789}, {1083369600, 987654321}};
        QCOMPARE(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);

        platform::CopyResult result = platform::copyFileNoReplace("D:\\src.bin", "E:\\dst.bin");
        QCOMPARE(result.status, platform::CopyStatus::Copied);
        fs::path target = drives->driveFolder('e') / "dst.bin";
        QCOMPARE(readFile(target), contents);
        struct stat st {};
        QCOMPARE(::stat(target.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 07777, static_cast<mode_t>(0641));
        QCOMPARE(st.st_mtim.tv_sec, times[1].tv_sec);
        QCOMPARE(st.st_mtim.tv_nsec, times[1].tv_nsec);
        QCOMPARE(folderNames(drives->driveFolder('e')), (std::vector<std::string>{"dst.bin"}));

        writeFile(drives->driveFolder('d') / "empty", "");
        QCOMPARE(platform::copyFileNoReplace("D:\\empty", "E:\\empty").status,
                 platform::CopyStatus::Copied);
        QCOMPARE(readFile(drives->driveFolder('e') / "empty"), std::string());
    }

    void copiesKeepModesTheProcessMaskWouldStrip() {
        struct Mask {
            mode_t before = ::umask(077);
            ~Mask() { ::umask(before); }
        } strict;
        for (mode_t mode : {0664, 0777, 0641, 0400}) {
            std::string name = "m" + std::to_string(mode);
            fs::path source = drives->driveFolder('d') / name;
            writeFile(source, name);
            QCOMPARE(::chmod(source.c_str(), mode), 0);
            platform::CopyResult result = platform::copyFileNoReplace("D:\\" + name, "E:\\" + name);
            QCOMPARE(result.status, platform::CopyStatus::Copied);
            struct stat st {};
            QCOMPARE(::stat((drives->driveFolder('e') / name).c_str(), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode);
        }
    }

    void copiesNeverReplaceAnything() {
        writeFile(drives->driveFolder('d') / "new", "new contents");
        writeFile(drives->driveFolder('e') / "old", "old");
        platform::CopyResult result = platform::copyFileNoReplace("D:\\new", "E:\\old");
        QCOMPARE(result.status, platform::CopyStatus::TargetDiffers);
        QCOMPARE(readFile(drives->driveFolder('e') / "old"), std::string("old"));

        // Not even a link whose target is gone, nor a folder.
        fs::create_symlink("nowhere", drives->driveFolder('e') / "dangling");
        QCOMPARE(platform::copyFileNoReplace("D:\\new", "E:\\dangling").status,
                 platform::CopyStatus::TargetDiffers);
        QVERIFY(fs::is_symlink(drives->driveFolder('e') / "dangling"));
        fs::create_directory(drives->driveFolder('e') / "dir");
        QCOMPARE(platform::copyFileNoReplace("D:\\new", "E:\\dir").status,
                 platform::CopyStatus::TargetDiffers);
    }

    void failedCopiesLeaveNothingBehind() {
        writeFile(drives->driveFolder('d') / "file", "x");
        fs::create_directory(drives->driveFolder('e') / "out");

        platform::CopyResult missing = platform::copyFileNoReplace("D:\\nothing", "E:\\out\\a");
        QCOMPARE(missing.status, platform::CopyStatus::Failed);
        QVERIFY(!missing.reason.empty());

        platform::CopyResult noFolder = platform::copyFileNoReplace("D:\\file", "E:\\none\\a");
        QCOMPARE(noFolder.status, platform::CopyStatus::Failed);
        QVERIFY(!noFolder.reason.empty());

        // A named pipe would block a reader forever: it is refused at once.
        QCOMPARE(::mkfifo((drives->driveFolder('d') / "pipe").c_str(), 0600), 0);
        QCOMPARE(platform::copyFileNoReplace("D:\\pipe", "E:\\out\\pipe").status,
                 platform::CopyStatus::Failed);
        QCOMPARE(platform::copyFileNoReplace("D:\\", "E:\\out\\root").status,
                 platform::CopyStatus::Failed);
        QVERIFY(fs::is_empty(drives->driveFolder('e') / "out"));

        // On a file system without unnamed files, a failed copy leaves no temporary name.
        faults::failAt("tmpfile", "", EOPNOTSUPP);
        fs::create_directory(drives->driveFolder('e') / "fat");
        ::chmod((drives->driveFolder('d') / "file").c_str(), 0644);
        QCOMPARE(platform::copyFileNoReplace("D:\\file", "E:\\fat\\file").status,
                 platform::CopyStatus::Copied);
        QCOMPARE(platform::copyFileNoReplace("D:\\pipe", "E:\\fat\\pipe").status,
                 platform::CopyStatus::Failed);
        faults::clear();
        QCOMPARE(folderNames(drives->driveFolder('e') / "fat"), std::vector<std::string>{"file"});
    }

    void linksAreCopiedAsLinks() {
        fs::path folder = drives->driveFolder('d') / "Tree";
        fs::create_directories(folder);
        fs::create_directory_symlink("..", folder / "up");
        QCOMPARE(platform::copyFileNoReplace("D:\\Tree\\up", "E:\\up").status,
                 platform::CopyStatus::Copied);
        QVERIFY(fs::is_symlink(drives->driveFolder('e') / "up"));
        QCOMPARE(fs::read_symlink(drives->driveFolder('e') / "up"), fs::path(".."));
    }

    void targetFoldersAreNeverReachedThroughLinks() {
        fs::path e = drives->driveFolder('e');
        fs::path outside = drives->base() / "outside";
        fs::create_directories(outside);
        fs::create_directory_symlink(outside, e / "link");
        fs::create_directory_symlink("../../outside", e / "relative");
        writeFile(e / "file", "x");
        writeFile(drives->driveFolder('d') / "src.txt", "s");
        std::string why;
        platform::TargetFolder root = platform::TargetFolder::open("E:\\", why);
        QVERIFY(root.isOpen());
        for (const char* name : {"link", "relative"}) {
            QVERIFY(!root.makeSub(name, why));
            QCOMPARE(why, ansi(u8"此處是連結，不是資料夾"));
            QVERIFY(!root.openSub(name, why).isOpen());
            QCOMPARE(why, ansi(u8"此處是連結，不是資料夾"));
        }
        QVERIFY(!root.makeSub("file", why));
        QCOMPARE(why, ansi(u8"此處是檔案，不是資料夾"));
        QVERIFY(!platform::TargetFolder::open("E:\\file", why).isOpen());
        QCOMPARE(why, ansi(u8"此處是檔案，不是資料夾"));
        for (const char* name : {"a?b", "..", ".", "", "x\\y"}) {
            QVERIFY(!root.makeSub(name, why));
            QCOMPARE(why, ansi(u8"名稱含有此系統無法表示的字元"));
        }
        QVERIFY(root.makeSub("new", why));
        QVERIFY(root.makeSub("new", why)); // there already: fine
        platform::TargetFolder held = root.openSub("new", why);
        QVERIFY(held.isOpen());

        // The held folder is the one written into, even when a link takes its name afterwards.
        fs::rename(e / "new", e / "moved");
        fs::create_directory_symlink(outside, e / "new");
        QCOMPARE(held.copyIn("D:\\src.txt", "src.txt").status, platform::CopyStatus::Copied);
        QCOMPARE(readFile(e / "moved" / "src.txt"), std::string("s"));
        // A link at the file's own name is neither followed nor replaced, dangling or not.
        fs::create_symlink(outside / "planted", e / "moved" / "trap");
        QCOMPARE(held.copyIn("D:\\src.txt", "trap").status, platform::CopyStatus::TargetDiffers);
        QVERIFY(fs::is_empty(outside));
        QCOMPARE(held.id(), platform::folderId("E:\\moved"));
        QVERIFY(held.id() != root.id());
    }

    void foldersAreMadeOneLevelAtATime() {
        QVERIFY(platform::createFolder("D:\\One"));
        QVERIFY(!platform::createFolder("D:\\One"));
        QVERIFY(!platform::createFolder("D:\\Two\\Three"));
        QVERIFY(platform::folderExists("D:\\One"));
        QVERIFY(platform::folderExists("D:\\"));
        QVERIFY(!platform::folderExists("D:\\Two"));
        QVERIFY(!platform::createFolder("Q:\\One"));
    }

    void filesAreReplacedWholeAndReadWithinLimits() {
        QCOMPARE(platform::readFile("D:\\f.ini", 100).status, platform::ReadStatus::Missing);
        QVERIFY(platform::replaceFile("D:\\f.ini", "first"));
        QVERIFY(platform::replaceFile("D:\\f.ini", "second"));
        QCOMPARE(platform::readFile("D:\\f.ini", 6).bytes, std::string("second"));
        // A file larger than a reader takes is not read at all.
        platform::FileContents tooLarge = platform::readFile("D:\\f.ini", 5);
        QCOMPARE(tooLarge.status, platform::ReadStatus::TooLarge);
        QVERIFY(tooLarge.bytes.empty());
        platform::WriteResult exists = platform::createNewFile("D:\\f.ini", "x");
        QVERIFY(!exists);
        QCOMPARE(exists.reason, ansi(u8"已有同名的項目"));
        QCOMPARE(platform::readFile("D:\\f.ini", 6).bytes, std::string("second"));
        QVERIFY(platform::createNewFile("D:\\g.ini", "x"));
        QCOMPARE(folderNames(drives->driveFolder('d')),
                 (std::vector<std::string>{"f.ini", "g.ini"}));
        QVERIFY(!platform::replaceFile("D:\\missing\\f.ini", "x"));
        QVERIFY(!platform::canOpenForReading("D:\\"));
    }

    void drivesComeFromTheTable() {
        QCOMPARE(platform::logicalDrives(), (1u << 2) | (1u << 3) | (1u << 4));
        QCOMPARE(platform::systemDirectory(), std::string("C:\\windows\\system32"));
        QCOMPARE(platform::driveType("D:\\"), unsigned{platform::kDriveFixed});
        QCOMPARE(platform::driveType("Q:\\"), unsigned{platform::kDriveNoRootDir});
        // The label is the file system's where it has one, else the folder's own name.
        std::optional<std::string> label = platform::volumeLabel("D:\\");
        QVERIFY(label);
        if (!fs::exists("/dev/disk/by-label"))
            QCOMPARE(*label, std::string("drive_d"));
        drives->addDrive('m', drives->driveFolder('m') / ".." / "drive_m");
        QCOMPARE(*platform::volumeLabel("M:\\"),
                 fs::exists("/dev/disk/by-label") ? *label : std::string("drive_m"));

        drives->addDrive('g', drives->base() / "gone");
        QVERIFY(platform::logicalDrives() & (1u << 6));
        QCOMPARE(platform::driveType("G:\\"), unsigned{platform::kDriveNoRootDir});
        QVERIFY(!platform::volumeLabel("G:\\"));

        struct statfs fs {};
        if (::statfs("/dev/shm", &fs) == 0 && fs.f_type == TMPFS_MAGIC) {
            drives->addDrive('r', "/dev/shm");
            QCOMPARE(platform::driveType("R:\\"), unsigned{platform::kDriveRamDisk});
        }

        platform::overrideDrive('d', platform::DriveOverride{platform::kDriveCdRom, std::nullopt});
        QCOMPARE(platform::driveType("d:\\"), unsigned{platform::kDriveCdRom});
        QVERIFY(!platform::volumeLabel("D:\\"));

        drives->removeDrive('c');
        QCOMPARE(platform::systemDirectory(), std::string());
    }

    void aMissingTableIsMadeLikeAFreshSystem() {
        fs::path prefix = drives->base() / "prefix";
        qputenv("TARNWICK_PREFIX", QByteArray::fromStdString(prefix.string()));
        platform::useDriveTable(std::string());
        QCOMPARE(platform::driveTableFolder(), (prefix / "dosdevices").string());
        qunsetenv("TARNWICK_PREFIX");
        QCOMPARE(fs::read_symlink(prefix / "dosdevices" / "c:"), fs::path("../drive_c"));
        QCOMPARE(fs::read_symlink(prefix / "dosdevices" / "z:"), fs::path("/"));
        QVERIFY(fs::is_directory(prefix / "drive_c" / "Program Files"));
        QCOMPARE(platform::logicalDrives(), (1u << 2) | (1u << 25));
        QVERIFY(platform::folderExists("C:\\windows\\system32"));
    }

    void todayHasTheShortDateForm() {
        using namespace std::chrono;
        platform::setTodayForTesting(year(2004) / May / 1);
        QCOMPARE(platform::shortDateToday(), std::string("2004/5/1"));
        platform::setTodayForTesting(year(2026) / December / 18);
        QCOMPARE(platform::shortDateToday(), std::string("2026/12/18"));
        platform::setTodayForTesting(std::nullopt);
        QString today = QString::fromStdString(platform::shortDateToday());
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}/[1-9]\\d?/[1-9]\\d?$"))
                     .match(today)
                     .hasMatch(),
                 qPrintable(today));
    }

    void workersHandWorkToTheUiThreadInOrder() {
        std::vector<int> seen; // touched only on this (the user-interface) thread
        std::thread worker([&] {
            for (int i = 0; i < 300; ++i)
                threads::postToUiThread([&seen, i] { seen.push_back(i); });
            bool thrown = false;
            try {
                threads::runOnUiThread([] { throw std::runtime_error("inside"); });
            } catch (const std::runtime_error&) {
                thrown = true;
            }
            threads::runOnUiThread([&seen, thrown] { seen.push_back(thrown ? -1 : -2); });
        });
        QTRY_COMPARE(seen.size(), size_t{301});
        worker.join();
        for (int i = 0; i < 300; ++i)
            QCOMPARE(seen[static_cast<size_t>(i)], i);
        QCOMPARE(seen.back(), -1);
    }

    void messageBoxesReachTheSeamFromAnyThread() {
        testsupport::MessageRecorder recorder;
        toolkit::showMessage(ansi(u8"您尚未建立任何備份檔案"));
        std::atomic<bool> answered = false;
        std::thread worker([&] {
            toolkit::showSystemMessage(ansi(u8"備份完成"), ansi(u8"您所指定的檔案已備份完成!!"));
            answered = true;
        });
        QTRY_VERIFY(answered.load()); // the box is answered on this thread's event loop
        worker.join();
        std::vector<toolkit::MessageBoxCall> calls = recorder.calls();
        QCOMPARE(calls.size(), size_t{2});
        QCOMPARE(calls[0].kind, toolkit::MessageBoxKind::Simple);
        QCOMPARE(calls[0].caption, std::string("Tarnwick"));
        QCOMPARE(calls[0].text, ansi(u8"您尚未建立任何備份檔案"));
        QCOMPARE(calls[1].kind, toolkit::MessageBoxKind::System);
        QCOMPARE(calls[1].caption, ansi(u8"備份完成"));
    }
};

QTEST_MAIN(TestHostLayer)
#include "test_hostlayer.moc"
