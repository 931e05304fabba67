#include "walkthread.h"

namespace walk {

void WalkThread::execute() {
    using namespace std::chrono_literals;
    while (!terminated()) {
        walkTree_();
        sleepFor(100ms);
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
