#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class CopyStatus {
    Copied,
    Linked,        // unchanged since an earlier backup: a hard link to its copy there
    TargetExists,  // there already with the source's size and modification time: left as it is
    TargetDiffers, // something else holds the name (another size or time): left as it is
    Failed,
};

struct [[nodiscard]] CopyResult {
    CopyStatus status = CopyStatus::Failed;
    std::string reason; // why it failed, code page 950; empty otherwise
    uint64_t bytes = 0; // the size of the file copied
};

// Whether an error of a hard link means the file system makes none (rather than that this one
// file cannot have another: EMLINK, say).
bool linksRefusedBy(int error);

// Copies a file's contents, permission bits and modification time, never replacing anything at
// the target name, not even a file that appears there during the copy. A copy that fails leaves
// nothing at the target name. A symbolic link is copied as a link. The target's folder is found
// by its path (links on the way followed); TargetFolder::CopyIn copies below a folder held open.
CopyResult copyFileNoReplace(std::string_view from, std::string_view to);

// Whether copies reach the disk before the restore point that names them is recorded: always,
// but for the benchmark, which measures what it costs (TARNWICK_BENCH_UNFLUSHED set), and the
// window's tests, which would otherwise wait on whatever else the machine has written to the
// file system (the flush itself is tested with the core).
bool durableCopies();
void setDurableCopiesForTesting(bool durable);

// Modification times in nanoseconds since 1970.
// Whether a file found at a copy's name is the source's copy, as far as a copy can tell: the same
// size, and the same modification time to the resolution the target's file system keeps (its
// time is read for the coarsest resolution it fits: FAT keeps two seconds, exFAT ten
// milliseconds, NTFS a hundred nanoseconds).
bool sameSizeAndTime(uint64_t sourceSize, int64_t sourceTime, uint64_t targetSize,
                     int64_t targetTime);

} // namespace platform
