#include "support/recordingconsole.h"
#include "support/testdrives.h"

#include "cli/commands.h"
#include "faults/faults.h"
#include "platform/clock.h"
#include "platform/filecopy.h"
#include "store/backupstore.h"

#include <QProcess>
#include <QTest>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::RecordingConsole;
using testsupport::writeFile;

namespace {

struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

void saveChoice(const std::string& sourceDir, const std::string& destDir) {
    store::BackupStore store;
    QVERIFY(!store.CreateFolders());
    QVERIFY(store.WriteSettings(sourceDir, destDir));
}

// Every entry below a folder as the host keeps it, links not followed: its kind, its bytes (or
// where a link leads) and its modification time.
std::map<std::string, std::string> treeState(const fs::path& folder) {
    std::map<std::string, std::string> state;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::end(it); ++it) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0)
            continue;
        std::string what = std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) +
                           "." + std::to_string(st.st_mtim.tv_nsec) + " ";
        if (S_ISREG(st.st_mode))
            what += readFile(it->path());
        else if (S_ISLNK(st.st_mode))
            what += fs::read_symlink(it->path()).string();
        state[testsupport::utf8(fs::relative(it->path(), folder))] = what;
    }
    return state;
}

// Rewrites a file's bytes in place and gives it back its modification time: what a damaged
// sector or a program that keeps the time does.
void changeKeepingTime(const fs::path& file, std::string_view bytes) {
    fs::file_time_type time = fs::last_write_time(file);
    writeFile(file, bytes);
    fs::last_write_time(file, time);
}

} // namespace

class TestVerify : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TestDrives> drives;

    fs::path program() { return drives->host(u8"C:\\Program Files\\Tarnwick2004"); }
    fs::path data() { return drives->driveFolder('d') / "Data"; }
    fs::path copy() { return drives->driveFolder('e') / "Bak" / "2004_5_1_Back" / "Data"; }

    Run run(const std::vector<std::string>& arguments) {
        RecordingConsole console;
        std::optional<int> status = cli::runCommandLine(arguments, console);
        return {status.value_or(-1), console.out, console.err};
    }

    Run runProgram(const QStringList& arguments, const char* program) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("TARNWICK_PREFIX"),
                           QString::fromStdString(drives->base().string()));
        process.setProcessEnvironment(environment);
        process.start(QString::fromUtf8(program), arguments);
        Run result;
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
            result.status = process.exitCode();
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    // D:\Data backed up into E:\Bak on 2004/5/1, the saved choice; `failed`: some of it could not
    // be copied.
    void backUp(bool failed = false) {
        writeFile(data() / "a.txt", "alpha");
        writeFile(data() / "Docs" / "b.txt", "beta");
        writeFile(data() / fs::path(u8"許多") / "c.txt", "gamma"); // a 0x5C trail byte
        fs::create_directories(data() / "Empty");
        fs::create_directories(drives->driveFolder('e') / "Bak");
        saveChoice("D:\\Data", "E:\\Bak");
        platform::setTodayForTesting(year(2004) / May / 1);
        Run backup = run({"--backup", "--quiet"});
        QVERIFY2(backup.status == (failed ? 1 : 0), backup.out.c_str());
    }

private slots:
    void initTestCase() { platform::setDurableCopiesForTesting(false); }
    void init() { drives = std::make_unique<testsupport::TestDrives>(); }
    void cleanup() {
        faults::clear();
        platform::setTodayForTesting(std::nullopt);
        drives.reset();
    }

    void aChangedByteOfTheSameSizeAndTimeIsFoundOnlyByFull() {
        backUp();
        Run same = run({"--verify"});
        QCOMPARE(same.status, 0);
        QCOMPARE(same.err, std::string());
        QCOMPARE(same.out,
                 ansi(u8"正在驗證：D:\\Data  <==>  E:\\Bak\\2004_5_1_Back\\Data（還原點 1）\n"
                      u8"已比對 3 個檔案、4 個資料夾：沒有差異。\n"));
        QCOMPARE(run({"--verify", "--full"}).status, 0);

        // A damaged copy: one byte, the size and time as they were.
        changeKeepingTime(copy() / "Docs" / "b.txt", "bete");
        QCOMPARE(run({"--verify"}).status, 0);
        Run full = run({"--verify", "--full", "--source", "D:\\Data", "--dest", "E:\\Bak"});
        QCOMPARE(full.status, 1);
        QVERIFY2(full.out.find(
                     ansi(u8"\n內容不同：D:\\Data\\Docs\\b.txt\n已比對 3 個檔案、4 個資料夾，"
                          u8"讀取 0.00 MB：有 1 個差異（內容不同 1 個）。\n")) != std::string::npos,
                 full.out.c_str());
    }

    void everyDifferenceIsListedWithItsKind() {
        // What the backup could not copy, and a link it copied as a link, not followed.
        writeFile(data() / "Secret" / "s.txt", "s");
        faults::failAt("opendir", "/Data/Secret", EACCES);
        QCOMPARE(::mkfifo((data() / "pipe").c_str(), 0600), 0);
        fs::create_symlink("a.txt", data() / "link");
        fs::create_directories(data() / "Docs");
        fs::create_symlink("/nowhere", data() / "Docs" / "away");
        backUp(true);
        faults::clear();
        QVERIFY(fs::is_symlink(copy() / "link"));

        fs::remove(data() / "Docs" / "b.txt");
        writeFile(data() / "new.txt", "new");
        writeFile(data() / "NewFolder" / "deep.txt", "deep");
        fs::last_write_time(data() / fs::path(u8"許多") / "c.txt",
                            fs::last_write_time(data() / "a.txt") - hours(1));
        writeFile(data() / "a.txt", "alpha and more");
        fs::remove(data() / "Docs" / "away");
        fs::create_symlink("/elsewhere", data() / "Docs" / "away");
        Run found = run({"--verify"});
        QCOMPARE(found.status, 1);
        QCOMPARE(found.err, std::string());
        QCOMPARE(
            found.out,
            ansi(u8"正在驗證：D:\\Data  <==>  E:\\Bak\\2004_5_1_Back\\Data（還原點 1）\n"
                 u8"大小或修改時間不同：D:\\Data\\a.txt\n"
                 u8"備份中沒有：D:\\Data\\new.txt\n"
                 u8"備份中沒有：D:\\Data\\NewFolder\n"
                 u8"備份中沒有：D:\\Data\\pipe\n"
                 u8"內容不同：D:\\Data\\Docs\\away\n"
                 u8"只在備份中：E:\\Bak\\2004_5_1_Back\\Data\\Docs\\b.txt\n"
                 u8"備份中沒有：D:\\Data\\Secret\\s.txt\n"
                 u8"大小或修改時間不同：D:\\Data\\許多\\c.txt\n"
                 u8"已比對 7 個檔案、5 個資料夾：有 8 個差異（備份中沒有 4 個，只在備份中 1 個，"
                 u8"大小或修改時間不同 2 個，內容不同 1 個）。\n"));

        // A destination inside the source: its backups are not part of what was backed up.
        writeFile(drives->driveFolder('d') / "Home" / "h.txt", "h");
        fs::create_directories(drives->driveFolder('d') / "Home" / "Bak");
        QCOMPARE(run({"--backup", "--source", "D:\\Home", "--dest", "D:\\Home\\Bak"}).status, 0);
        Run inside = run({"--verify", "--source", "D:\\Home", "--dest", "D:\\Home\\Bak"});
        QVERIFY2(inside.status == 0, inside.out.c_str());
    }

    void whatCannotBeReadIsNamed() {
        backUp();
        faults::failAt("compare", "a.txt", EIO);
        faults::failAt("opendir", "d:/Data/Docs", EACCES); // the source's only
        Run found = run({"--verify", "--full"});
        QCOMPARE(found.status, 1);
        QVERIFY2(found.out.find(ansi(u8"\n無法讀取：D:\\Data\\a.txt（磁碟讀寫錯誤）\n")) !=
                     std::string::npos,
                 found.out.c_str());
        // The folder's copy is not taken for files only in the backup.
        QVERIFY(found.out.find(ansi(u8"\n無法讀取：D:\\Data\\Docs（存取被拒）\n")) !=
                std::string::npos);
        QVERIFY(found.out.find(ansi(u8"有 2 個差異（無法讀取 2 個）")) != std::string::npos);
    }

    void aFileThatMayNotBeReadIsNamed() {
        backUp();
        ::chmod((data() / "a.txt").c_str(), 0);
        bool readable = std::ifstream(data() / "a.txt").good();
        if (readable)
            QSKIP("this user reads files whatever their permissions (root)");
        Run denied = run({"--verify", "--full"});
        QCOMPARE(denied.status, 1);
        QVERIFY(denied.out.find(ansi(u8"\n無法讀取：D:\\Data\\a.txt（存取被拒）\n")) !=
                std::string::npos);
    }

    void whatCannotBeVerifiedIsStatusTwoWithItsReason() {
        auto cannot = [&](const std::vector<std::string>& arguments, const std::string& reason) {
            Run result = run(arguments);
            QCOMPARE(result.status, 2);
            QVERIFY2(result.err.find(reason) != std::string::npos, result.err.c_str());
        };
        cannot({"--verify"},
               ansi(u8"找不到設定檔：C:\\Program Files\\Tarnwick2004\\SystemBackRD.ini"));
        cannot({"--full"}, ansi(u8"此選項只能與 --verify 一起使用：--full"));
        cannot({"--backup", "--full"}, ansi(u8"此選項只能與 --verify 一起使用：--full"));
        cannot({"--verify", "--quiet"}, ansi(u8"此選項不能與 --verify 一起使用：--quiet"));
        cannot({"--verify", "--backup"}, ansi(u8"此選項不能與 --verify 一起使用：--backup"));
        cannot({"--verify", "D:\\Data"}, ansi(u8"不明的選項：D:\\Data"));

        backUp();
        writeFile(drives->driveFolder('d') / "Other" / "o.txt", "o");
        cannot({"--verify", "--source", "D:\\Other"},
               ansi(u8"備份目地資料夾中沒有此來源資料夾的備份記錄：D:\\Other  ==>  E:\\Bak"));
        cannot({"--verify", "--dest", "E:\\Gone"}, ansi(u8"找不到備份目地資料夾：E:\\Gone"));
        fs::rename(data(), drives->driveFolder('d') / "Aside");
        cannot({"--verify"}, ansi(u8"備份來源資料夾不存在：D:\\Data"));
        fs::rename(drives->driveFolder('d') / "Aside", data());
        faults::failReadAt("C:\\Program Files\\Tarnwick2004\\Recover\\BackupDir.ini", 3, EIO);
        cannot({"--verify"}, ansi(u8"無法讀取：C:\\Program Files\\Tarnwick2004\\Recover\\"
                                  u8"BackupDir.ini（磁碟讀寫錯誤）"));
        faults::clear();
        fs::remove_all(copy().parent_path());
        cannot({"--verify"},
               ansi(u8"找不到備份資料夾：E:\\Bak\\2004_5_1_Back\\Data（找不到檔案或資料夾）"));
    }

    void aVerificationWritesNothing() {
        backUp();
        writeFile(data() / "late.txt", "late"); // a difference to tell
        changeKeepingTime(copy() / "a.txt", "alphA");
        // What a backup would sweep: a write of the store and a copy both cut short.
        writeFile(program() / ".SystemBackRD.ini.tw99999999-1.tmp", "half");
        writeFile(copy() / ".a.txt.tw99999999-1.tmp", "half");
        fs::remove(program() / "TotalCount.ini"); // a backup would make it again
        const auto store = treeState(program());
        const auto source = treeState(drives->driveFolder('d'));
        const auto backups = treeState(drives->driveFolder('e'));

        for (const char* binary : {TARNWICK_PROGRAM, TARNWICK_CLI_PROGRAM}) {
            Run result = runProgram({QStringLiteral("--verify"), QStringLiteral("--full")}, binary);
            QVERIFY2(result.status == 1, (result.out + result.err).c_str());
            QVERIFY2(result.out.find("內容不同：D:\\Data\\a.txt\n") != std::string::npos,
                     result.out.c_str());
            QVERIFY(result.out.find("備份中沒有：D:\\Data\\late.txt\n") != std::string::npos);
            QVERIFY(treeState(program()) == store);
            QVERIFY(treeState(drives->driveFolder('d')) == source);
            QVERIFY(treeState(drives->driveFolder('e')) == backups);
        }

        Run help = runProgram({QStringLiteral("--help")}, TARNWICK_CLI_PROGRAM);
        QVERIFY(help.out.find("  --verify  ") != std::string::npos);
        QVERIFY(help.out.find("--verify 的結束狀態：0 沒有差異，1 有差異") != std::string::npos);
    }
};

QTEST_MAIN(TestVerify)
#include "test_verify.moc"
