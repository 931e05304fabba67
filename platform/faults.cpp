#include "faults.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform::faults {
namespace {

struct Fault {
    std::string operation;
    std::string suffix;
    int error;
    size_t offset = 0; // "read" only: where the reading fails
};

std::atomic<bool> armed{false};
std::mutex faultsMutex;
std::vector<Fault> planted; // guarded by faultsMutex

struct Action {
    std::string operation;
    std::string suffix;
    std::function<void()> action;
};
std::atomic<bool> actionsArmed{false};
std::vector<Action> actions; // guarded by faultsMutex

std::atomic<bool> stepsPlanned{false};
std::atomic<int> stepsTaken{0};
std::atomic<int> crashStep{0};
std::atomic<int> failStep{0};
std::atomic<int> failError{0};
std::vector<std::string> callsMade; // guarded by faultsMutex

// Counts a step; ends the process when it is the planned one.
int takeStep() {
    int step = stepsTaken.fetch_add(1) + 1;
    if (step == crashStep.load())
        std::_Exit(86);
    return step;
}

} // namespace

void failAt(std::string operation, std::string suffix, int error) {
    std::lock_guard lock(faultsMutex);
    planted.push_back({std::move(operation), std::move(suffix), error});
    armed = true;
}

void failReadAt(std::string suffix, size_t offset, int error) {
    std::lock_guard lock(faultsMutex);
    planted.push_back({"read", std::move(suffix), error, offset});
    armed = true;
}

void beforeOperation(std::string operation, std::string suffix, std::function<void()> action) {
    std::lock_guard lock(faultsMutex);
    actions.push_back({std::move(operation), std::move(suffix), std::move(action)});
    actionsArmed = true;
}

void runBefore(std::string_view operation, std::string_view nameOrPath) {
    if (!actionsArmed.load(std::memory_order_relaxed))
        return;
    std::vector<std::function<void()>> due;
    {
        std::lock_guard lock(faultsMutex);
        for (const Action& planned : actions)
            if (planned.operation == operation && nameOrPath.ends_with(planned.suffix))
                due.push_back(planned.action);
    }
    for (const std::function<void()>& action : due) // unlocked: an action may plant more
        action();
}

void clear() {
    std::lock_guard lock(faultsMutex);
    planted.clear();
    armed = false;
    actions.clear();
    actionsArmed = false;
    stepsPlanned = false;
    callsMade.clear();
    crashStep = 0;
    failStep = 0;
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

std::optional<ReadFault> readFault(std::string_view path) {
    if (!armed.load(std::memory_order_relaxed))
        return std::nullopt;
    std::lock_guard lock(faultsMutex);
    for (const Fault& fault : planted)
        if (fault.operation == "read" && path.ends_with(fault.suffix))
            return ReadFault{fault.offset, fault.error};
    return std::nullopt;
}

void planStoreSteps(int crashAt, int failAt, int error) {
    crashStep = crashAt;
    failStep = failAt;
    failError = error;
    stepsTaken = 0;
    {
        std::lock_guard lock(faultsMutex);
        callsMade.clear();
    }
    stepsPlanned = true;
}

int storeStepsTaken() {
    return stepsTaken.load();
}

std::vector<std::string> storeCallsMade() {
    std::lock_guard lock(faultsMutex);
    return callsMade;
}

int storeStepBefore(std::string_view call) {
    if (!stepsPlanned.load(std::memory_order_relaxed))
        return 0;
    {
        std::lock_guard lock(faultsMutex);
        callsMade.emplace_back(call);
    }
    return takeStep() == failStep.load() ? failError.load() : 0;
}

void storeStepAfter() {
    if (stepsPlanned.load(std::memory_order_relaxed))
        takeStep();
}

} // namespace platform::faults
