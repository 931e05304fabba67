#include "faults.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace platform::faults {
namespace {

struct Fault {
    std::string operation;
    std::string suffix;
    int error;
};

std::atomic<bool> armed{false};
std::mutex faultsMutex;
std::vector<Fault> planted; // guarded by faultsMutex

} // namespace

void failAt(std::string operation, std::string suffix, int error) {
    std::lock_guard lock(faultsMutex);
    planted.push_back({std::move(operation), std::move(suffix), error});
    armed = true;
}

void clear() {
    std::lock_guard lock(faultsMutex);
    planted.clear();
    armed = false;
}

int injected(std::string_view operation, std::string_view nameOrPath) {
    if (!armed.load(std::memory_order_relaxed))
        return 0;
    std::lock_guard lock(faultsMutex);
    for (const Fault& fault : planted)
        if (fault.operation == operation && nameOrPath.ends_with(fault.suffix))
            return fault.error;
    return 0;
}

} // namespace platform::faults
