#pragma once

#include "folderhandle.h"
#include "targetfolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// One entry of a folder being removed, named as the host names it: a name without a code page
// 950 form must go too.
struct RemovalEntry {
    std::string hostName; // UTF-8
    bool folder = false;  // a folder itself, never a link to one
    // With sizes only: the space the file takes, the names it has on its volume, and which file
    // it is there (a file with other names elsewhere frees nothing until the last goes).
    uint64_t bytes = 0;
    uint64_t links = 1;
    FolderId file;
};

// A folder that is being emptied and removed, held open. Below the folder it was opened at,
// nothing is reached through a link: sub-folders are opened one host name at a time from their
// parent's handle, and entries are renamed and removed relative to it, so that a link found (or
// swapped in) on the way is removed itself, never what it leads to.
class RemovalFolder {
public:
    RemovalFolder() = default;

    // Opens a folder by its full program path (links on the way there followed, as the user's
    // own choice of folder). whyNot gets the reason when it cannot.
    static RemovalFolder open(std::string_view path, std::string& whyNot);

    bool isOpen() const { return handle_ != nullptr; }
    std::optional<FolderId> id() const;
    // Another handle on the same folder.
    RemovalFolder duplicate() const;

    // Whether the sub-folder (a program name) is there as a folder, not a link or a file.
    bool hasFolder(std::string_view name) const;
    // Renames the sub-folder `from` to `to` (program names) without replacing anything: 0 or an
    // errno value (EEXIST when `to` is taken).
    [[nodiscard]] int renameSub(std::string_view from, std::string_view to) const;

    // Opens the sub-folder of that host name, never through a link.
    RemovalFolder openSub(const std::string& hostName, std::string& whyNot) const;
    // The entries, "." and ".." left out; false, with the reason, when they cannot be listed.
    bool list(std::vector<RemovalEntry>& entries, bool withSizes, std::string& whyNot) const;
    // Removes the entry: an empty folder when `folder`, else whatever stands there (a link is
    // removed, not followed). 0 or an errno value.
    [[nodiscard]] int remove(const std::string& hostName, bool folder) const;

    // The host name of a program name, nullopt when it has none.
    static std::optional<std::string> hostNameOf(std::string_view name);
    // The program name of a host name, "?" standing for what code page 950 cannot show.
    static std::string programNameOf(const std::string& hostName);

private:
    explicit RemovalFolder(FolderHandlePtr handle) : handle_(std::move(handle)) {}
    FolderHandlePtr handle_;
};

// The space free for the user on the volume of the folder, in bytes, as the file system reports
// it; nullopt when it cannot tell.
std::optional<uint64_t> freeSpace(std::string_view folder);

} // namespace platform
