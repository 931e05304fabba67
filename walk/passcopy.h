#pragma once

#include "folderwalk.h"

#include "platform/targetfolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the backup's and the restore's passes have in common besides the walk.
namespace walk {

// What a dialog shows while a pass runs. Updates are merged (see JobChannel).
struct PassProgress {
    std::string sizeText;              // the size line
    int64_t fileTotal = 0;             // the progress bar's maximum
    std::optional<int64_t> position;   // the progress bar's position (copy pass)
    uint64_t bytesCopied = 0;          // copy pass
    std::optional<std::string> status; // the status line (copy pass)

    // A status that was never shown stays the latest until another replaces it.
    void takeUnshown(PassProgress&& older) {
        if (!status)
            status = std::move(older.status);
    }
};

struct CopyFailure {
    std::string path;
    std::string reason;
    std::string hostText; // the host's own name (UTF-8) where `path` cannot show it
};

// The texts of a closing message, in the job's words.
struct FailureWords {
    const std::string& done;            // the plain completion text
    const std::string& filesBefore;     // before the number of files that failed
    const std::string& filesAfter;      // after it
    const std::string& foldersBefore;   // before the number of folders that failed
    const std::string& foldersAfter;    // after it
    const std::string& differingBefore; // before the number of files there already but different
    const std::string& differingAfter;  // after it
};

// What a copy pass could not copy: files, and folders whose contents are missing (a folder
// that could not be listed or made, or whose name has no form here), each with its reason; and
// files whose name was taken by another file (another size or time) that was left as it is.
class CopyFailures {
public:
    static constexpr size_t kNamed = 5; // named in a closing message

    void add(std::string path, std::string reason);
    void addFolder(std::string path, std::string reason);
    void addDiffering(std::string path);
    // The host's own name of the file that failed last, where its path cannot show it.
    void nameLastOnHost(std::string hostText);
    // Adds the files that failed or differed in `other`, after those here.
    void takeFiles(CopyFailures&& other);
    int64_t count() const { return static_cast<int64_t>(files_.size()); }
    int64_t folderCount() const { return static_cast<int64_t>(folders_.size()); }
    int64_t differingCount() const { return static_cast<int64_t>(differing_.size()); }
    // Whether anything at all was not copied as it is in the source.
    bool any() const { return !files_.empty() || !folders_.empty() || !differing_.empty(); }
    const std::vector<CopyFailure>& files() const { return files_; }
    const std::vector<CopyFailure>& folders() const { return folders_; }
    const std::vector<CopyFailure>& differing() const { return differing_; }

    // The closing message: `done`, then for each kind that failed, before + the number + after
    // and the first few, one a line with its reason, "……" when there are more.
    std::string describe(const FailureWords& words) const;

private:
    std::vector<CopyFailure> files_;
    std::vector<CopyFailure> folders_;
    std::vector<CopyFailure> differing_; // no reason: the kind says it
};

class TargetTree;

// The copy pass enters a folder: its target becomes the current one. A target that cannot be
// opened is noted under its path (targetDir, the target's path with a trailing backslash).
void enterTarget(TargetTree& targets, const Folder& folder, std::string targetDir,
                 CopyFailures& failures);

// Makes the target of a sub-folder of the current folder (targetDir: the current target's path
// with a trailing backslash); true when it is there. One that cannot be made is noted.
bool makeTarget(TargetTree& targets, const std::string& name, const std::string& targetDir,
                CopyFailures& failures);

// Copies one file of a copy pass (the entry `name` of the folder `source` holds open; `from` is
// its whole path, for the user) into its target folder without replacing anything, or links it
// to its unchanged copy in `linkFrom` (see TargetFolder::copyIn); a failure, or another file
// found at the name, is noted under `from`. Without a target folder (it could not be made) or a
// source folder held (no handle left) the file fails too.
platform::CopyResult copyPassFile(const platform::HeldFolder* source, const std::string& from,
                                  const platform::TargetFolder* folder, const std::string& name,
                                  const platform::TargetFolder* linkFrom, CopyFailures& failures);

// How many threads copy the files of a pass: TARNWICK_COPY_WORKERS (1 to 16) when set, else
// two where the machine has two cores or more.
int copyWorkers();

} // namespace walk
