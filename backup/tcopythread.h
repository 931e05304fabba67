#pragma once

#include "platform/workerthread.h"

class TForm2;

// The backup dialog's worker: one walk of the dialog per resume, a pause of 100 ms after each,
// until the stop request comes.
class TCopyThread : public platform::WorkerThread {
public:
    explicit TCopyThread(TForm2& form) : form_(form) {}
    ~TCopyThread() override { stopAndJoin(); }

    // Called by the walk at its end: suspends the thread unless another walk is already wanted.
    void EndWalk(bool anotherWanted);

protected:
    void execute() override;

private:
    TForm2& form_;
};
