#pragma once

#include "walk/walkthread.h"

// The backup dialog's worker thread.
class TCopyThread : public walk::WalkThread {
public:
    using WalkThread::WalkThread;
};
