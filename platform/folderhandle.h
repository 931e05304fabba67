#pragma once

#include <memory>

namespace platform {

// A folder held open by the host: a descriptor on Linux, a handle and its path on Windows. Only
// the backend sees inside it.
struct FolderHandle;
struct FolderHandleCloser {
    void operator()(FolderHandle* handle) const;
};
using FolderHandlePtr = std::unique_ptr<FolderHandle, FolderHandleCloser>;

} // namespace platform
