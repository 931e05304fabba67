// Names a folder matches to an entry of another name (a Windows or FAT short name, another case)
// are never taken for that entry: no copy counts as there, no folder is merged into another and
// no unchanged file is linked to another's copy.
#include "support/testdrives.h"

#include "platform/filecopy.h"
#include "platform/folders.h"
#include "platform/nameclash.h"
#include "platform/targetfolder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::folderNames;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class NameClash : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(drives.host(u8"D:\\Src"));
        fs::create_directories(drives.host(u8"E:\\Bak"));
    }
    void TearDown() override { platform::assumeNamesMayMatchOthersForTesting(false); }

    void openFolders() {
        source = platform::HeldFolder::open("D:\\Src", whyNot);
        bak = platform::TargetFolder::open("E:\\Bak", whyNot);
        ASSERT_TRUE(source.isOpen() && bak.isOpen()) << whyNot;
    }
    // The source's file gets the target's file's time: only the name tells the two apart.
    void sameTime(const fs::path& sourceFile, const fs::path& targetFile) {
        fs::last_write_time(targetFile, fs::last_write_time(sourceFile));
    }

    fs::path src(const std::string& name) { return drives.host(u8"D:\\Src") / name; }
    fs::path target(const std::string& name) { return drives.host(u8"E:\\Bak") / name; }

    testsupport::TestDrives drives;
    std::string whyNot;
    platform::HeldFolder source;
    platform::TargetFolder bak;
};

const std::string kShortNameReason = ansi(u8"名稱與另一個檔案的短名稱相同");
const std::string kCaseReason = ansi(u8"名稱與另一個檔案只差大小寫");

} // namespace

#ifdef _WIN32

namespace {

// The 8.3 name the system gave an entry.
std::string shortNameOf(const fs::path& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = ::GetShortPathNameW(path.c_str(), buffer.data(), MAX_PATH);
    buffer.resize(length < MAX_PATH ? length : 0);
    return fs::path(buffer).filename().string();
}

} // namespace

// The source's own file may be named like the short name of another file in the backup (it comes
// from a case-sensitive folder, a share or a stick that gave other short names).
TEST_F(NameClash, ANameLikeAnotherEntrysShortNameIsNeverTakenForIt) {
    writeFile(target("longfilename.txt"), "the other file");
    fs::create_directories(target("longfoldername"));
    writeFile(target("longfoldername") / "y.txt", "kept apart");
    const std::string shortFile = shortNameOf(target("longfilename.txt"));
    const std::string shortFolder = shortNameOf(target("longfoldername"));
    ASSERT_TRUE(shortFile.find('~') != std::string::npos) << shortFile;
    ASSERT_TRUE(shortFolder.find('~') != std::string::npos) << shortFolder;
    writeFile(src(shortFile), "a file apart!!");
    sameTime(src(shortFile), target("longfilename.txt"));
    openFolders();

    platform::CopyResult copied = bak.copyIn(source, shortFile, shortFile);
    EXPECT_EQ(copied.status, platform::CopyStatus::Failed);
    EXPECT_EQ(copied.reason, kShortNameReason);
    EXPECT_EQ(readFile(target("longfilename.txt")), "the other file");

    EXPECT_FALSE(bak.makeSub(shortFolder, whyNot));
    EXPECT_EQ(whyNot, kShortNameReason);
    whyNot.clear();
    EXPECT_FALSE(bak.openSub(shortFolder, whyNot).isOpen());
    EXPECT_EQ(whyNot, kShortNameReason);
    EXPECT_EQ(folderNames(target("")),
              (std::vector<std::string>{"longfilename.txt", "longfoldername"}));
    EXPECT_EQ(folderNames(target("longfoldername")), std::vector<std::string>{"y.txt"});
}

TEST_F(NameClash, AnUnchangedFileIsNeverLinkedToAnotherFoundByItsShortName) {
    // Yesterday's backup holds longfilename.txt; today's source has a file named like its short
    // name, with the same size and time but other bytes.
    writeFile(drives.host(u8"E:\\Day1\\longfilename.txt"), "yesterday's other");
    const std::string shortFile = shortNameOf(drives.host(u8"E:\\Day1\\longfilename.txt"));
    ASSERT_TRUE(shortFile.find('~') != std::string::npos) << shortFile;
    writeFile(src(shortFile), "today's own file!");
    sameTime(src(shortFile), drives.host(u8"E:\\Day1\\longfilename.txt"));
    openFolders();
    platform::TargetFolder day1 = platform::TargetFolder::open("E:\\Day1", whyNot);
    ASSERT_TRUE(day1.isOpen()) << whyNot;
    platform::LinkTrial trial;
    platform::LinkSource earlier{day1, trial};

    platform::CopyResult result = bak.copyIn(source, shortFile, shortFile, &earlier);
    EXPECT_EQ(result.status, platform::CopyStatus::Copied);
    EXPECT_EQ(readFile(target(shortFile)), "today's own file!");
    EXPECT_EQ(readFile(drives.host(u8"E:\\Day1\\longfilename.txt")), "yesterday's other");
}

TEST_F(NameClash, ANameOnlyInAnotherCaseIsNeverTakenForIt) {
    writeFile(target("Report.txt"), "the other one");
    fs::create_directories(target("Letters"));
    writeFile(src("report.txt"), "a file apart!");
    sameTime(src("report.txt"), target("Report.txt"));
    openFolders();

    platform::CopyResult copied = bak.copyIn(source, "report.txt", "report.txt");
    EXPECT_EQ(copied.status, platform::CopyStatus::Failed);
    EXPECT_EQ(copied.reason, kCaseReason);
    EXPECT_FALSE(bak.makeSub("LETTERS", whyNot));
    EXPECT_EQ(whyNot, kCaseReason);
    EXPECT_EQ(folderNames(target("")), (std::vector<std::string>{"Letters", "Report.txt"}));
    EXPECT_EQ(readFile(target("Report.txt")), "the other one");
}

#else

// Here names match byte for byte; FAT, exFAT and folders that ignore case match others, and then
// the folder's own names decide. Assumed here, the check must still find what is there under its
// own name, and only that.
TEST_F(NameClash, WhereNamesMayMatchOthersTheFoldersOwnNamesDecide) {
    platform::assumeNamesMayMatchOthersForTesting(true);
    writeFile(target("Report.txt"), "the copy");
    writeFile(src("Report.txt"), "the copy");
    sameTime(src("Report.txt"), target("Report.txt"));
    fs::create_directories(target("Letters"));
    int fd = ::open(target("").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(platform::nameClashIn(fd, "Report.txt"), std::nullopt);
    EXPECT_EQ(platform::nameClashIn(fd, "report.txt"), kCaseReason);
    EXPECT_EQ(platform::nameClashIn(fd, "REPORT~1.TXT"), kShortNameReason);
    ::close(fd);

    // What is there under its own name is there: a later run the same day finds its copies.
    openFolders();
    EXPECT_EQ(bak.copyIn(source, "Report.txt", "Report.txt").status,
              platform::CopyStatus::TargetExists);
    bool madeNow = true;
    EXPECT_TRUE(bak.makeSub("Letters", whyNot, &madeNow)) << whyNot;
    EXPECT_FALSE(madeNow);
    EXPECT_TRUE(bak.openSub("Letters", whyNot).isOpen()) << whyNot;
}

#endif
