#pragma once

#include "process.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

// A file written under no name (or a hidden temporary one) in the folder of its target, and
// given the target name only when complete. Until then nothing exists at the target name; a
// file that is never published leaves nothing behind.
class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Returns 0 or an errno value.
    int open(const std::string& hostTarget, mode_t mode);
    int fd() const { return fd_; }

    // Links the file in at the target name unless something exists there (then EEXIST).
    int publishNoReplace();
    // Puts the file in place of whatever the target name holds, in one step.
    int publishReplace();

private:
    std::string target_;
    // A named temporary file would outlive a sudden end: the end waits for it instead.
    std::optional<ExitBlocker> namedTempGuard_;
    std::string tempName_; // set while a named temporary file exists
    int fd_ = -1;
};

} // namespace platform
