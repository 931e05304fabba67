#pragma once

#include "folderhandle.h"

namespace platform {

struct FolderHandle {
    int fd = -1;
};

// Takes over the descriptor; nothing held when it is negative.
FolderHandlePtr holdDescriptor(int fd);

// The descriptor held, or -1 when nothing is.
inline int descriptorOf(const FolderHandlePtr& handle) {
    return handle ? handle->fd : -1;
}

} // namespace platform
