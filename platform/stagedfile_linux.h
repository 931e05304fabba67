#pragma once

#include "process.h"
#include "stagingname.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

// A file written under no name (or a hidden temporary one) in its target's folder, and given
// the target name only when complete. Until then nothing exists at the target name; a file that
// is never published leaves nothing behind. Everything happens relative to the folder's handle,
// so neither the file nor its temporary name can land anywhere else.
class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Starts the file `name` (a host name) in the folder held open by folderFd, which must stay
    // open until the file is published or dropped. Returns 0 or an errno value.
    int open(int folderFd, const std::string& name, mode_t mode);
    int fd() const { return fd_; }
    // Whether the file has a temporary name, which the program's end waits for.
    bool holdsTheEnd() const { return !tempName_.empty(); }

    // Links the file in at the target name unless something exists there (then EEXIST).
    int publishNoReplace();

private:
    int renameOverPlaceholder();

    int folderFd_ = -1;
    std::string name_;
    // A named temporary file would outlive a sudden end: the end waits for it instead.
    std::optional<ExitBlocker> namedTempGuard_;
    std::string tempName_; // set while a named temporary file exists
    int fd_ = -1;
};

// Opens a file to be written for `name` in the folder: unnamed where the file system allows,
// else under a hidden temporary name (set in tempName; *guard is taken first, so that the
// program's end waits for it; nullptr when the caller holds one already). Returns the
// descriptor, or -1 with errno set.
int openStaging(int folderFd, const std::string& name, mode_t mode, std::string& tempName,
                std::optional<ExitBlocker>* guard);

// Gives an unnamed file (open for writing) a name in the folder; 0 or an errno value.
int linkUnnamedFile(int fd, int folderFd, const std::string& name);

// Removes the temporary files in the folder that a program cut short left behind: those whose
// process is gone.
void removeStaleStagingFiles(int folderFd);

} // namespace platform
