#pragma once

#include "filecopy.h"
#include "folders.h"
#include "linktrial.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// Tells one folder from another, whatever path leads to it.
struct FolderId {
    uint64_t volume = 0;
    uint64_t file = 0;
    bool operator==(const FolderId&) const = default;
};

// A folder that a copy writes into, held open. Below the folder it was opened at, nothing is
// ever reached through a symbolic link: sub-folders are made and opened one name at a time from
// their parent's handle, a link, file or anything else standing where a folder must be is
// refused, and files are made relative to the handle. So no write can leave the folder.
class TargetFolder;

// Where a copy may make an unchanged file a hard link instead: the copy of the same folder in an
// earlier backup, and the pass's finding of whether the file system makes links.
struct LinkSource {
    const TargetFolder& earlier;
    LinkTrial& trial;
};

class TargetFolder {
public:
    TargetFolder() = default;

    // Opens a folder by its full program path, as the user chose it: links on the way there are
    // followed (the drive table's own are links). whyNot gets the reason when it cannot.
    static TargetFolder open(std::string_view path, std::string& whyNot);

    bool isOpen() const { return handle_ != nullptr; }

    // Makes the sub-folder when it is missing; false, with the reason, when it cannot be made or
    // something other than a folder holds the name. *madeNow tells whether this call made it.
    bool makeSub(std::string_view name, std::string& whyNot, bool* madeNow = nullptr) const;
    // Opens an existing sub-folder, never through a link.
    TargetFolder openSub(std::string_view name, std::string& whyNot) const;

    // Copies a file into this folder under `name`, never replacing anything (see filecopy.h).
    CopyResult copyIn(std::string_view from, std::string_view name) const;
    // The same for the file `fromName` of a listed folder, read through the folder held open
    // rather than by its whole path. With `linkFrom`, a plain file whose copy in the earlier
    // backup's folder has its size, modification time and permissions is made a hard link to
    // that copy instead (CopyStatus::Linked); a link that cannot be made falls back to a copy.
    // Links are never followed and never linked to. folderIsNew: this folder was made by the
    // caller's pass, so a copy is made without a look at the name first (what appears there
    // meanwhile is still found when the copy is named, and kept).
    CopyResult copyIn(const HeldFolder& from, std::string_view fromName, std::string_view name,
                      const LinkSource* linkFrom = nullptr, bool folderIsNew = false) const;
    // Makes `name` here another name of the file `copyName` in `copyFolder`, this pass's copy of
    // a file with several names, so that the copy has them too. False when no link can be made
    // (a file system without them, something at the name, or at copyName no longer a file of
    // `size` and `modified`): the file is then copied as any other.
    bool linkToCopy(const TargetFolder& copyFolder, std::string_view copyName,
                    std::string_view name, uint64_t size, int64_t modified) const;
    // Another handle on the same folder, for copies that outlive this one.
    TargetFolder duplicate() const;

    std::optional<FolderId> id() const;

    // Gives the folder a modification time (nanoseconds since 1970), once nothing more is
    // written into it: the reason when it cannot, nullopt when done or when the file system
    // keeps no time of its own for folders.
    std::optional<std::string> setModificationTime(int64_t nanoseconds) const;

    // Puts what was written below this folder on the disk: after it, a power cut loses none of
    // it. Linux flushes the folder's whole file system at once (one journal commit, far cheaper
    // than a flush per file); Windows flushes each copy as it is made and moves it in with write
    // through, and commits the volume's log here for the links. 0 or an errno value.
    [[nodiscard]] int flushToDisk() const;
    // Removes the temporary files that a copy of the program cut short left here.
    void removeStaleTemporaries() const;

private:
    explicit TargetFolder(FolderHandlePtr handle) : handle_(std::move(handle)) {}
    FolderHandlePtr handle_;
};

// The folder a path names, when it is one.
std::optional<FolderId> folderId(std::string_view path);

// Whether a file name (code page 950) is one of the temporary names under which this program
// writes files on file systems without unnamed files; no walk counts or copies those.
bool isStagingName(std::string_view name);

} // namespace platform
