#pragma once

#include "console.h"
#include "progressline.h"

#include "backup/backupjob.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// The exit statuses of a backup without a window.
enum ExitStatus : int {
    kAllBackedUp = 0,     // every file is in the backup, the restore point recorded
    kSomeFailed = 1,      // the restore point recorded, some files or folders missing (listed)
    kNothingBackedUp = 2, // no backup (or none recorded): bad arguments, missing folders, ...
};

// Writes one kind of what went wrong: "有 N" and `after` as the heading, then a line per path
// with its reason, and the host's own name beside a path that cannot show it, so that the user
// can find the file. Nothing when there is none.
void writeFailures(Console& console, const std::string& after,
                   const std::vector<walk::CopyFailure>& items);

// The view of a backup run without a window: progress on the console (rewritten in place on a
// terminal, a few times a second; an occasional plain line otherwise), then the summary. With
// `quiet` only failures are written. Called on the loop's thread.
class BackupPrinter : public backup::BackupView {
public:
    BackupPrinter(Console& console, bool quiet);

    // The count pass is over: the totals the copy is shown against.
    void counted(int64_t files, uint64_t bytes);

    void showProgress(const backup::BackupProgress& progress) override;
    void completionStarted() override;
    void completionDone(const backup::CopyReport& report, bool current) override;
    void copyImpossible(const std::string& sourceDir) override;
    void backupFolderImpossible(const std::string& path, const std::string& reason) override;

    // Writes the summary of the backup of `sourceDir` into `backupFolder` and gives the exit
    // status.
    int finish(const std::string& sourceDir, const std::string& backupFolder);
    // What the job reported when it finished, if it did.
    const std::optional<backup::CopyReport>& report() const { return report_; }

private:
    using Clock = std::chrono::steady_clock;

    Console& console_;
    bool quiet_;
    ProgressLine line_;
    int64_t fileTotal_ = 0;
    uint64_t byteTotal_ = 0;
    Clock::time_point copyStarted_;
    Clock::time_point lastShown_;
    std::optional<backup::CopyReport> report_;
    std::string impossible_; // why nothing was backed up
};

} // namespace cli
