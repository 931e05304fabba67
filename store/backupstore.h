#pragma once

#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/process.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The files of the program folder, byte for byte:
//   SystemBackRD.ini          the last source and destination folders
//   TotalCount.ini            the number of catalog records made so far
//   LastBackup.ini            how the last backup without a window ended (lastbackup.h)
//   Recover\BackupDir.ini     the catalog: one record per (destination, backup name) pair
//   Recover\<n>.ini           the folder list files recorded under restore point n
//   Recover\<name><n>_<source>.ini   the source folders of one backed-up folder
// All are text-mode files in code page 950. Every write replaces a file whole, in one step and on
// the disk before it returns, so a crash or a full disk leaves each file old or new. Readers
// refuse files larger than a healthy store makes (a damaged file), rather than freeze on them.
// Only a file that is not there is missing: one that is there but cannot be opened or read to
// its end throws ProgramError ("無法讀取：" with the path and the reason), never read in part.
namespace store {

struct SettingsValues {
    std::string sourceDir;
    std::string destDir;
};

// A folder of the store that could not be made, and why (code page 950).
struct FolderFailure {
    std::string path;
    std::string reason;
};

// One catalog line taken apart.
struct BackupRecord {
    std::string destDir;     // the destination, without the backslash before "<"
    std::string pointNumber; // the decimal digits between "<" and ">"
    std::string backupName;  // the text after ">"
    std::string destPrefix;  // the text before "<": the destination and its backslash
};

// A file's lines, and whether the last one was cut short (no line end: a write that died, or a
// full disk under an older copy of the program).
struct FileLines {
    std::vector<std::string> lines;
    bool lastCutShort = false;
};

// One line of a restore-point file.
struct PointEntry {
    std::string sourceName;   // the backed-up folder's own name
    std::string listFileName; // the folder list file it names
};

class BackupStore {
public:
    // The store in the program folder of this system.
    BackupStore();
    // The store in the given program folder (no trailing backslash).
    explicit BackupStore(std::string programFolder);
    bool operator==(const BackupStore&) const = default;

    // The store whose settings file this is (the path that confirming the folders stored).
    static std::optional<BackupStore> FromSettingsFilePath(const std::string& settingsFilePath);

    // The system drive's letter followed by ":\Program Files\Tarnwick2004".
    static std::string ProgramFolder();

    std::string SettingsFilePath() const;
    // How the last backup without a window ended (store/lastbackup.h).
    std::string LastBackupPath() const;
    std::string RecoverFolder() const;

    // Makes the program folder and its Recover folder where they are missing. The first of them
    // that is still missing, and why; nullopt when both are there.
    [[nodiscard]] std::optional<FolderFailure> CreateFolders() const;

    // Whether the program folder and its Recover folder take new files: the first that does not,
    // and why. Asked before a backup without a window, which would else copy everything and then
    // fail to record its restore point (a folder only an administrator may write).
    [[nodiscard]] std::optional<FolderFailure> CheckWritable() const;

    std::string CountFilePath() const;
    std::string CatalogPath() const;
    std::string PointFilePath(int number) const;
    std::string FolderListPath(const std::string& listFileName) const;

    // Removes the temporary files that writes cut short left in the program folder and Recover.
    void RemoveStaleTemporaries() const;

    // Held while a restore point is recorded: two programs that finish at once take turns (a
    // lock file in Recover), and the program's end waits for the recording, not the other way.
    class Recording {
    public:
        explicit Recording(const BackupStore& store);

    private:
        platform::FileLock lock_;
        platform::ExitBlocker
            noExitMidway_; // taken once the lock is ours: the end waits for no one else
    };

    // The settings file: line 1 gives the source folder, everything after it the destination
    // folder; a value is the text after the last "=" of its line. nullopt when missing (or
    // damaged); throws ProgramError when it cannot be read.
    std::optional<SettingsValues> ReadSettings() const;
    platform::WriteResult WriteSettings(const std::string& sourceDir,
                                        const std::string& destDir) const;

    // The record count; a missing count file is made holding "0". Throws ProgramError when the
    // file holds no integer, a negative one, one no next record can follow, is damaged, or
    // cannot be read (and then makes none).
    int EnsureRecordCount() const;
    platform::WriteResult WriteRecordCount(int count) const;

    // The catalog's lines in file order; nullopt when it is missing. Throws ProgramError when it
    // is damaged or cannot be read.
    std::optional<std::vector<std::string>> ReadCatalog() const;
    std::optional<FileLines> ReadCatalogFile() const;
    // Replaces the catalog with the lines, each with its line end.
    platform::WriteResult WriteCatalog(const std::vector<std::string>& lines) const;
    static BackupRecord ParseRecord(std::string_view line);
    // The record line destDir\<number>backupName.
    static std::string RecordText(const std::string& destDir, int number,
                                  const std::string& backupName);
    // The number k of the first line k that reads destDir\<k>backupName, or 0.
    static int FindRecord(const std::vector<std::string>& lines, const std::string& destDir,
                          const std::string& backupName);
    // The number of the first record of the pair whatever line it stands on (a count that fell
    // behind the catalog numbers records apart from their lines), or 0. The number must be
    // written as the program writes it (no sign, no leading zeros).
    static int FindRecordAnywhere(const std::vector<std::string>& lines, const std::string& destDir,
                                  const std::string& backupName);
    // The highest record number of the catalog (0 for none); throws ProgramError for a number
    // no next record can follow.
    static int HighestRecordNumber(const std::vector<std::string>& lines);

    static std::string FolderListFileName(const std::string& backupName, int number,
                                          const std::string& sourceName);
    platform::WriteResult WriteFolderList(const std::string& backupName, int number,
                                          const std::string& sourceName,
                                          const std::string& folderList) const;
    // The lines of restore point `number`'s file; nullopt when missing. Throws ProgramError when
    // it is damaged or cannot be read.
    std::optional<FileLines> ReadPointEntries(int number) const;
    platform::WriteResult WritePointFile(int number, const std::vector<std::string>& entries) const;

    // The entries of restore point `number` (its decimal text), nullopt when its file is
    // missing or the number is no number; throws ProgramError when it cannot be read.
    std::optional<std::vector<PointEntry>> ReadPointFile(const std::string& number,
                                                         const std::string& backupName) const;

    // The first line of a folder list file (the folder that was backed up); nullopt when the file
    // is missing, empty or the name is not a plain file name; throws ProgramError when it cannot
    // be read.
    std::optional<std::string> FolderListHead(const std::string& listFileName) const;

    // The line of the folder list file of the folder the relative text leads to from line 1
    // (the folder backed up), else the first that ends with the relative text, else the first
    // that contains it (whole characters only), or empty; nullopt when the file is missing or
    // the name is not a plain file name; throws ProgramError when it cannot be read.
    std::optional<std::string> FindSourceLine(const std::string& listFileName,
                                              const std::string& relative) const;

private:
    std::string recoverFile(const std::string& name) const;
    std::optional<FileLines> readLines(const std::string& path, size_t limit) const;
    std::optional<std::vector<std::string>> readFolderList(const std::string& listFileName) const;

    std::string folder_;
};

// The backup folder's name from a short date: 2004/5/1 gives 2004_5_1_Back.
std::string FormBackupName(std::string_view shortDate);

} // namespace store
