#pragma once

#include "store/backupstore.h"

#include <cstdint>
#include <optional>
#include <string>

// The verification of a backup against its source: it reads both trees and the store, and
// writes nothing of any of them.
namespace backup {

// The newest backup of a source folder into a destination, as the store records it.
struct RecordedCopy {
    std::string backupName;
    std::string pointNumber;
    std::string sourceName; // its copy of the source folder: destDir\backupName\sourceName
    std::string path;       // that copy's whole path
};

// The catalog record of the destination with the highest restore-point number whose restore
// point names a folder list that begins with the source folder (as the backup finds the copy it
// links to), whether or not its copy is still there; nullopt when none does. The destination is
// known by its folder, however either path was typed. Throws ProgramError when a file of the
// store cannot be read.
std::optional<RecordedCopy> newestBackupOf(const store::BackupStore& store,
                                           const std::string& sourceDir,
                                           const std::string& destDir);

enum class DifferenceKind {
    MissingFromBackup, // in the source, not in the backup (or something else at its name there)
    OnlyInBackup,      // in the backup, not in the source
    SizeOrTime,        // a file of another size or modification time
    Contents,          // a file of other bytes (--full), or a link leading elsewhere
    Unreadable,        // could not be compared: the reason says why
};

struct Difference {
    DifferenceKind kind;
    std::string path;     // the source's path; for OnlyInBackup the backup's
    std::string reason;   // Unreadable: why
    std::string hostText; // the host's name of the entry when its program name cannot show it
};

// What a verification tells as it goes, on the thread that runs it.
class VerifyView {
public:
    virtual ~VerifyView() = default;
    virtual void difference(const Difference& difference) = 0;
    // After each file compared (for a progress line).
    virtual void compared(int64_t files, uint64_t bytesRead) = 0;
};

struct VerifyInput {
    std::string sourceDir;
    std::string destDir;
    RecordedCopy copy; // the backup compared with
    // The store whose recorded backups of the destination the walk leaves out, as the backup
    // does when the destination lies inside the source.
    store::BackupStore store;
    bool full = false; // read both sides of every file and compare their bytes
};

struct VerifyReport {
    // Nothing was compared: the source folder or the backup's copy cannot be read.
    bool sourceUnreadable = false;
    std::string copyUnreadable;  // why the copy cannot be opened, when it cannot
    int64_t files = 0;           // files of the source compared
    int64_t folders = 0;         // folders of the source compared, the root included
    uint64_t bytesRead = 0;      // of the source, with full
    int64_t differences[5] = {}; // by DifferenceKind
    int64_t differenceTotal() const;
};

// Compares the backup's copy with the source folder as it is now: every file and folder on both
// sides, a file by its size and modification time (as the backup tells a file it has from one it
// has not) and, with full, its bytes. It sees the source as the backup walks it: links are
// compared as links, never followed, and the backups of the destination lying inside the source
// are left out. What the backup could not copy is missing from it.
VerifyReport verifyBackup(const VerifyInput& input, VerifyView& view);

} // namespace backup
