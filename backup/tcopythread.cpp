#include "tcopythread.h"

#include "tform2.h"

void TCopyThread::execute() {
    using namespace std::chrono_literals;
    while (!terminated()) {
        form_.WalkTree();
        sleepFor(100ms);
    }
}

void TCopyThread::EndWalk(bool anotherWanted) {
    endWalk();
    if (!anotherWanted)
        suspendSelf();
}
