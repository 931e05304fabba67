#include "walkthread.h"

namespace walk {

void WalkThread::execute() {
    using namespace std::chrono_literals;
    while (!terminated()) {
        walkTree_();
        sleepFor(100ms);
    }
}

void WalkThread::Walk() {
    if (PassRequests::Pass pass = requests_.Take())
        runPass_(pass == PassRequests::kCount);
    endWalk();                // a resume from now on counts...
    if (!requests_.Waiting()) // ...so a pass asked for after this look is not missed
        suspendSelf();
}

} // namespace walk
