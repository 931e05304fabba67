#include "process.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

std::shared_mutex& exitLock() {
    static std::shared_mutex lock;
    return lock;
}

std::atomic<bool> ending{false};

} // namespace

bool exitRequested() {
    return ending.load(std::memory_order_relaxed);
}

void requestExitForTesting(bool requested) {
    ending = requested;
}

ExitBlocker::ExitBlocker() {
    exitLock().lock_shared();
}

ExitBlocker::~ExitBlocker() {
    exitLock().unlock_shared();
}

void endProcess(int code) {
    ending = true; // the copies that hold the end give up at their next chunk
    exitLock().lock();
    std::fflush(nullptr);
    std::_Exit(code); // no destructors, no waiting for other threads
}

} // namespace platform
