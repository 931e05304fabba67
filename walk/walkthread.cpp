#include "walkthread.h"

namespace walk {

void WalkThread::execute() {
    using namespace std::chrono_literals;
    while (!terminated()) {
        walk_();
        sleepFor(100ms);
    }
}

void WalkThread::EndWalk(const PassRequests& requests) {
    endWalk();               // a resume from now on counts...
    if (!requests.Waiting()) // ...so a pass asked for after this look is not missed
        suspendSelf();
}

} // namespace walk
