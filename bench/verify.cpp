#include "verify.h"

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
    size_t copyEntries = 0;
    for (auto it = fs::recursive_directory_iterator(copy); it != fs::recursive_directory_iterator();
         ++it)
        ++copyEntries;
    if (copyEntries != sourceEntries)
        return "the copy holds " + std::to_string(copyEntries) + " entries, the source " +
               std::to_string(sourceEntries) + ": " + copy.string();
    return {};
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
