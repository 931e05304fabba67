#include "messagerecorder.h"

namespace testsupport {

MessageRecorder::MessageRecorder() {
    toolkit::setMessageBoxHandler([this](const toolkit::MessageBoxCall& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    });
}

MessageRecorder::~MessageRecorder() {
    toolkit::setMessageBoxHandler({});
}

void MessageRecorder::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::vector<toolkit::MessageBoxCall> MessageRecorder::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

} // namespace testsupport
