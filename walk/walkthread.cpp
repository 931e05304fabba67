#include "walkthread.h"

namespace walk {

void WalkThread::execute() {
    using namespace std::chrono_literals;
    while (!terminated()) {
        walk_();
        sleepFor(100ms);
    }
}

void WalkThread::EndWalk(bool anotherWanted) {
    endWalk();
    if (!anotherWanted)
        suspendSelf();
}

} // namespace walk
