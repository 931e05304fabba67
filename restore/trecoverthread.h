#pragma once

#include "walk/walkthread.h"

// The restore dialog's worker thread.
class TRecoverThread : public walk::WalkThread {
public:
    using WalkThread::WalkThread;
};
