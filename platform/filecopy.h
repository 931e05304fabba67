#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class CopyStatus { Copied, TargetExists, Failed };

struct CopyResult {
    CopyStatus status = CopyStatus::Failed;
    std::string reason; // why it failed, code page 950; empty otherwise
    uint64_t bytes = 0; // the size of the file copied
};

// Copies a file's contents, permission bits and modification time, never replacing anything at
// the target name, not even a file that appears there during the copy. A copy that fails leaves
// nothing at the target name. A symbolic link is copied as a link. The target's folder is found
// by its path (links on the way followed); TargetFolder::CopyIn copies below a folder held open.
CopyResult copyFileNoReplace(std::string_view from, std::string_view to);

} // namespace platform
