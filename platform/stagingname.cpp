#include "stagingname.h"

#include "hostsystem.h"
#include "targetfolder.h"

#include <atomic>

namespace platform {
namespace {

// Names longer than this leave the original name out of the temporary one, which must stay
// within the host's 255 bytes.
constexpr size_t kLongestStagedBase = 200;

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

std::string stagingName(const std::string& name) {
    static std::atomic<unsigned> counter{0};
    std::string base = name.size() <= kLongestStagedBase ? name : std::string();
    return "." + base + ".tw" + std::to_string(currentProcessId()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

long stagingOwner(std::string_view name) {
    // "." base ".tw" pid "-" counter ".tmp", read from the end: the base may hold anything.
    if (name.size() < 10 || name.front() != '.' || !name.ends_with(".tmp"))
        return 0;
    std::string_view rest = name.substr(0, name.size() - 4);
    size_t dash = rest.rfind('-');
    if (dash == std::string_view::npos || !allDigits(rest.substr(dash + 1)))
        return 0;
    rest = rest.substr(0, dash);
    size_t tw = rest.rfind(".tw");
    if (tw == std::string_view::npos || tw == 0 || !allDigits(rest.substr(tw + 3)) ||
        rest.size() - tw - 3 > 9)
        return 0;
    return std::stol(std::string(rest.substr(tw + 3)));
}

bool isStagingName(std::string_view name) {
    return stagingOwner(name) != 0;
}

bool isStaleStagingName(std::string_view name) {
    long owner = stagingOwner(name);
    // A process that still runs may be another copy of the program at work.
    return owner > 0 && owner != currentProcessId() && !processMayBeRunning(owner);
}

namespace {
constexpr std::string_view kRemovingSuffix = ".tw-removing";
} // namespace

std::string removingName(std::string_view name) {
    // Appended piece by piece: GCC 12 at -O2 takes "literal" + string for an overlapping copy.
    std::string hidden(".");
    hidden.append(name).append(kRemovingSuffix);
    return hidden;
}

bool isRemovingName(std::string_view name) {
    return name.size() > kRemovingSuffix.size() + 1 && name.front() == '.' &&
           name.ends_with(kRemovingSuffix);
}

} // namespace platform
