#include "process.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

std::shared_mutex& exitLock() {
    static std::shared_mutex lock;
    return lock;
}

} // namespace

ExitBlocker::ExitBlocker() {
    exitLock().lock_shared();
}

ExitBlocker::~ExitBlocker() {
    exitLock().unlock_shared();
}

void endProcess(int code) {
    exitLock().lock();
    std::fflush(nullptr);
    std::_Exit(code); // no destructors, no waiting for other threads
}

} // namespace platform
