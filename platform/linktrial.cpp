#include "linktrial.h"

#include "platform/filecopy.h"

namespace platform {

void LinkTrial::learn(int error) {
    // Only a link made or refused tells: EEXIST, ENOENT or EMLINK say nothing of the file system.
    if (error == 0)
        state_ = State::Works;
    else if (linksRefusedBy(error))
        state_ = State::Refused;
}

} // namespace platform
