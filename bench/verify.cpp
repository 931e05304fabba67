#include "verify.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace bench {
namespace {

constexpr uintmax_t kWholeBelow = 1 << 20; // smaller files are compared whole when sampled

bool sameBytes(const fs::path& a, const fs::path& b, uintmax_t offset, uintmax_t length) {
    std::ifstream left(a, std::ios::binary);
    std::ifstream right(b, std::ios::binary);
    left.seekg(static_cast<std::streamoff>(offset));
    right.seekg(static_cast<std::streamoff>(offset));
    std::vector<char> x(static_cast<size_t>(length)), y(static_cast<size_t>(length));
    left.read(x.data(), static_cast<std::streamsize>(length));
    right.read(y.data(), static_cast<std::streamsize>(length));
    return left.gcount() == right.gcount() && x == y;
}

bool sameContents(const fs::path& a, const fs::path& b, uintmax_t size) {
    if (size < kWholeBelow)
        return sameBytes(a, b, 0, size);
    constexpr uintmax_t chunk = 1 << 16;
    for (int i = 0; i <= 8; ++i) {
        uintmax_t offset = (size - chunk) / 8 * static_cast<uintmax_t>(i);
        if (!sameBytes(a, b, offset, chunk))
            return false;
    }
    return true;
}

std::string fileDiffers(const fs::path& from, const fs::path& to, bool sampled) {
    struct stat a {
    }, b{};
    if (::lstat(to.c_str(), &b) != 0)
        return "missing: " + to.string();
    if (::lstat(from.c_str(), &a) != 0)
        return "cannot read " + from.string();
    if (a.st_size != b.st_size)
        return "size differs: " + to.string();
    if ((a.st_mode & 07777) != (b.st_mode & 07777))
        return "permissions differ: " + to.string();
    if (a.st_mtim.tv_sec != b.st_mtim.tv_sec || a.st_mtim.tv_nsec != b.st_mtim.tv_nsec)
        return "modification time differs: " + to.string();
    if (sampled && !sameContents(from, to, static_cast<uintmax_t>(a.st_size)))
        return "contents differ: " + to.string();
    return {};
}

size_t countEntries(const fs::path& folder) {
    size_t entries = 0;
    for (auto it = fs::recursive_directory_iterator(folder);
         it != fs::recursive_directory_iterator(); ++it)
        ++entries;
    return entries;
}

std::string entriesDiffer(size_t sourceEntries, const fs::path& copy) {
    size_t copyEntries = countEntries(copy);
    if (copyEntries == sourceEntries)
        return {};
    return "the copy holds " + std::to_string(copyEntries) + " entries, the source " +
           std::to_string(sourceEntries) + ": " + copy.string();
}

bool sameTime(const struct stat& a, const struct stat& b) {
    return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

} // namespace

std::string compareTrees(const fs::path& source, const fs::path& copy) {
    size_t sourceEntries = 0;
    size_t seen = 0;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        ++sourceEntries;
        fs::path target = copy / fs::relative(entry.path(), source);
        if (entry.is_directory()) {
            if (!fs::is_directory(target))
                return "folder missing: " + target.string();
            continue;
        }
        bool sampled = entry.file_size() >= kWholeBelow || seen++ % 50 == 0;
        if (std::string why = fileDiffers(entry.path(), target, sampled); !why.empty())
            return why;
    }
    return entriesDiffer(sourceEntries, copy);
}

NextDay compareNextDay(const fs::path& source, const fs::path& day1, const fs::path& day2,
                       const std::set<std::string>& changed) {
    NextDay result;
    auto differs = [&](std::string why) {
        result.differs = std::move(why);
        return result;
    };
    size_t sourceEntries = 0;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        ++sourceEntries;
        fs::path relative = fs::relative(entry.path(), source);
        fs::path target = day2 / relative;
        if (entry.is_directory()) {
            if (!fs::is_directory(target))
                return differs("folder missing: " + target.string());
            continue;
        }
        if (std::string why = fileDiffers(entry.path(), target, true); !why.empty())
            return differs(why);
        struct stat now {
        }, before{}, from{};
        if (::lstat(target.c_str(), &now) != 0 || ::lstat(entry.path().c_str(), &from) != 0)
            return differs("cannot read " + target.string());
        if (::lstat((day1 / relative).c_str(), &before) != 0)
            return differs("missing on the first day: " + (day1 / relative).string());
        bool linked = now.st_dev == before.st_dev && now.st_ino == before.st_ino;
        if (changed.count(relative.string())) {
            ++result.changed;
            result.changedCopied += !linked;
            if (sameTime(before, from))
                return differs("the first day's file took the new time: " +
                               (day1 / relative).string());
        } else {
            ++result.unchanged;
            result.unchangedLinked += linked;
        }
    }
    if (result.changed != static_cast<int64_t>(changed.size()))
        return differs(std::to_string(changed.size()) + " files changed, " +
                       std::to_string(result.changed) + " of them found in " + source.string());
    result.differs = entriesDiffer(sourceEntries, day2);
    return result;
}

std::string compareFatCopy(const fs::path& source, const fs::path& copy, int64_t& timesOff) {
    timesOff = 0;
    size_t sourceEntries = 0;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        ++sourceEntries;
        fs::path target = copy / fs::relative(entry.path(), source);
        if (entry.is_directory()) {
            if (!fs::is_directory(target))
                return "folder missing: " + target.string();
            continue;
        }
        struct stat a {
        }, b{};
        if (::stat(target.c_str(), &b) != 0)
            return "missing: " + target.string();
        if (::stat(entry.path().c_str(), &a) != 0)
            return "cannot read " + entry.path().string();
        if (a.st_size != b.st_size)
            return "size differs: " + target.string();
        timesOff += std::llabs(static_cast<long long>(a.st_mtim.tv_sec) -
                               static_cast<long long>(b.st_mtim.tv_sec)) > 2;
        if (!sameContents(entry.path(), target, static_cast<uintmax_t>(a.st_size)))
            return "contents differ: " + target.string();
    }
    return entriesDiffer(sourceEntries, copy);
}

void readOnce(const fs::path& folder) {
    std::vector<char> buffer(1 << 20);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
               in.gcount() > 0) {
        }
    }
}

} // namespace bench
