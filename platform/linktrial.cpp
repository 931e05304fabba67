#include "linktrial.h"

#include "platform/filecopy.h"

namespace platform {

std::optional<int> LinkTrial::attempt(const std::function<int()>& makeLink) {
    State known = state_.load();
    std::unique_lock<std::mutex> alone(first_, std::defer_lock);
    if (known == State::Untried) {
        alone.lock();
        known = state_.load(); // another copy may have found out meanwhile
    }
    if (known == State::Refused)
        return std::nullopt;
    int error = makeLink();
    // Only a link made or refused tells: EEXIST, ENOENT or EMLINK say nothing of the file system.
    if (known == State::Untried && (error == 0 || linksRefusedBy(error)))
        state_ = error == 0 ? State::Works : State::Refused;
    return error;
}

} // namespace platform
