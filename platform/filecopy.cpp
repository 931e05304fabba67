#include "filecopy.h"

#include "hosterror.h"
#include "targetfolder.h"
#include "text/big5.h"
#include "text/programpath.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

// TARNWICK_BENCH_UNFLUSHED is the benchmark's, to time a backup without the flush.
std::atomic<bool> durable{std::getenv("TARNWICK_BENCH_UNFLUSHED") == nullptr};

} // namespace

bool durableCopies() {
    return durable.load(std::memory_order_relaxed);
}

void setDurableCopiesForTesting(bool on) {
    durable = on;
}

bool sameSizeAndTime(uint64_t sourceSize, int64_t sourceTime, uint64_t targetSize,
                     int64_t targetTime) {
    if (sourceSize != targetSize)
        return false;
    constexpr int64_t kSecond = 1'000'000'000;
    int64_t nanoseconds = ((targetTime % kSecond) + kSecond) % kSecond;
    int64_t seconds = (targetTime - nanoseconds) / kSecond;
    int64_t resolution = nanoseconds % 100 != 0          ? 1
                         : nanoseconds % 10'000'000 != 0 ? 100
                         : nanoseconds != 0              ? 10'000'000
                         : seconds % 2 != 0              ? kSecond
                                                         : 2 * kSecond;
    return std::llabs(sourceTime - targetTime) < resolution;
}

bool linksRefusedBy(int error) {
    // EPERM: Linux on FAT and exFAT; EXDEV: another file system mounted on the way; ENOTSUP:
    // network shares and Windows file systems without links.
    return error == EPERM || error == EXDEV || error == ENOTSUP || error == EOPNOTSUPP;
}

CopyResult copyFileNoReplace(std::string_view from, std::string_view to) {
    size_t slash = text::big5::rfind(to, '\\');
    if (slash == std::string_view::npos || text::isDriveRoot(to))
        return {CopyStatus::Failed, unusableNameReason()};
    std::string folderPath(to.substr(0, slash));
    if (slash == 2)
        folderPath += '\\'; // the root of the drive
    std::string whyNot;
    TargetFolder folder = TargetFolder::open(folderPath, whyNot);
    if (!folder.isOpen())
        return {CopyStatus::Failed, whyNot};
    return folder.copyIn(from, to.substr(slash + 1));
}

} // namespace platform
