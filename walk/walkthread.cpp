#include "walkthread.h"

namespace walk {
namespace {

std::atomic<int> pauseMilliseconds{100};

} // namespace

void WalkThread::setPauseForTesting(std::chrono::milliseconds pause) {
    pauseMilliseconds = static_cast<int>(pause.count());
}

void WalkThread::execute() {
    while (!terminated()) {
        walkTree_();
        sleepFor(std::chrono::milliseconds(pauseMilliseconds.load()));
    }
}

void WalkThread::walk() {
    if (PassRequests::Pass pass = requests_.take())
        runPass_(pass == PassRequests::kCount);
    endWalk();                // a resume from now on counts...
    if (!requests_.waiting()) // ...so a pass asked for after this look is not missed
        suspendSelf();
}

} // namespace walk
