#include "faults.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace faults {
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

// A plan of steps: which one ends the process, which one fails.
struct StepPlan {
    std::atomic<bool> planned{false};
    std::atomic<int> taken{0};
    std::atomic<int> crash{0};
    std::atomic<int> fail{0};
    std::atomic<int> error{0};

    void plan(int crashAt, int failAt, int failError) {
        crash = crashAt;
        fail = failAt;
        error = failError;
        taken = 0;
        planned = true;
    }
    void clear() {
        planned = false;
        crash = 0;
        fail = 0;
    }
    // Counts a step; ends the process when it is the planned one.
    int take() {
        int step = taken.fetch_add(1) + 1;
        if (step == crash.load())
            std::_Exit(86);
        return step;
    }
    int before() {
        if (!planned.load(std::memory_order_relaxed))
            return 0;
        return take() == fail.load() ? error.load() : 0;
    }
    void after() {
        if (planned.load(std::memory_order_relaxed))
            take();
    }
};

StepPlan storeSteps;
StepPlan removalSteps;
std::vector<std::string> callsMade; // guarded by faultsMutex: the store steps' calls

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
    storeSteps.clear();
    removalSteps.clear();
    callsMade.clear();
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
    {
        std::lock_guard lock(faultsMutex);
        callsMade.clear();
    }
    storeSteps.plan(crashAt, failAt, error);
}

int storeStepsTaken() {
    return storeSteps.taken.load();
}

std::vector<std::string> storeCallsMade() {
    std::lock_guard lock(faultsMutex);
    return callsMade;
}

int storeStepBefore(std::string_view call) {
    if (storeSteps.planned.load(std::memory_order_relaxed)) {
        std::lock_guard lock(faultsMutex);
        callsMade.emplace_back(call);
    }
    return storeSteps.before();
}

void storeStepAfter() {
    storeSteps.after();
}

void planRemovalSteps(int crashAt, int failAt, int error) {
    removalSteps.plan(crashAt, failAt, error);
}

int removalStepsTaken() {
    return removalSteps.taken.load();
}

int removalStepBefore() {
    return removalSteps.before();
}

void removalStepAfter() {
    removalSteps.after();
}

} // namespace faults
