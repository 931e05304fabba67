#pragma once

#include "folderhandle.h"

#include <string>

namespace platform {

struct FolderHandle {
    int fd = -1;
    std::string path; // the host path it was reached by, when known: the fault seam's only
};

// Takes over the descriptor; nothing held when it is negative.
FolderHandlePtr holdDescriptor(int fd, std::string path = {});

// Why `name` in the folder (AT_FDCWD: a whole host path) is no folder that can be opened, for
// the error that opening it as one gave: a link or a file in the way is told as such.
std::string whyNoFolder(int folderFd, const std::string& name, int error);

// The descriptor held, or -1 when nothing is.
inline int descriptorOf(const FolderHandlePtr& handle) {
    return handle ? handle->fd : -1;
}

} // namespace platform
