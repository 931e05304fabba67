#pragma once

#include "folderhandle.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

constexpr uint32_t kDirectoryAttribute = 0x10;

struct FindData {
    std::string name; // code page 950; "?" stands for characters it cannot show
    // The host's own name (UTF-8) when `name` could not show it, so that the user can find the
    // file; empty otherwise.
    std::string hostText;
    uint32_t attributes = 0;
    uint64_t size = 0;
    // A link Windows keeps in every profile for old programs ("Application Data", "My Documents"
    // and the like: hidden system junctions to folders backed up under their own names). Like
    // every link it is never followed; it is passed over rather than named as a failure.
    bool compatibilityLink = false;

    bool isDirectory() const { return (attributes & kDirectoryAttribute) != 0; }
};

// One file, whatever names it has.
struct FileId {
    uint64_t volume = 0;
    uint64_t file = 0;
    auto operator<=>(const FileId&) const = default;
};

// A plain file with other names too (hard links), as a walk finds it.
struct SharedFile {
    FileId id;
    uint64_t names = 0;
    uint64_t size = 0;
    int64_t modified = 0; // nanoseconds since 1970
};

struct EntryFacts;
class FileReader;

// A folder held open for reading: listed from its handle, its files read and its sub-folders
// opened by name from it, so that whatever happens to the path that led to it, what is read is
// what was listed. Copies that run beside the walk hold their own.
class HeldFolder {
public:
    HeldFolder() = default;

    // Opens a folder by its full program path, as the user chose it: links on the way there are
    // followed (the drive table's own are links). whyNot gets the reason when it cannot.
    static HeldFolder open(std::string_view path, std::string& whyNot);

    bool isOpen() const { return handle_ != nullptr; }

    // Opens a sub-folder by its name, from this folder's handle and never through a link: a link,
    // a file or anything else that now stands at the name is refused, with a reason that says
    // which.
    HeldFolder openSub(std::string_view name, std::string& whyNot) const;
    // Another handle on the same folder.
    HeldFolder duplicate() const;
    // The folder's modification time, in nanoseconds since 1970.
    std::optional<int64_t> modificationTime() const;
    // The plain file `name` of this folder when it has other names too (hard links), with how
    // many it has; nullopt for a file of one name, anything else, and on Windows, where telling
    // would cost opening every file.
    std::optional<SharedFile> sharedFile(std::string_view name) const;

private:
    friend class FolderSearch;
    friend class TargetFolder; // copies read through it
    friend class FileReader;   // so do verifications
    friend EntryFacts lookAt(const HeldFolder& folder, std::string_view name);
    explicit HeldFolder(FolderHandlePtr handle) : handle_(std::move(handle)) {}
    FolderHandlePtr handle_;
};

// Lists one folder the way the Windows find functions list "folder\*.*": "." and ".." first
// (except at a drive root, whose listing has neither), then the entries in the order NTFS keeps
// them (upper-cased names compared by code unit). A symbolic link is listed as a file and never
// followed.
class FolderSearch {
public:
    FolderSearch();
    ~FolderSearch();
    FolderSearch(const FolderSearch&) = delete;
    FolderSearch& operator=(const FolderSearch&) = delete;

    // Starts listing the folder (links on the way to it followed) and gives its first entry;
    // false when it cannot be listed (failure() then tells why).
    bool findFirst(std::string_view folder, FindData& entry, bool withSizes = true);
    // The same for a folder held open; a drive root lists no "." and "..". Without sizes a
    // listing is quicker: each file's size then reads 0.
    bool findFirst(const HeldFolder& folder, bool driveRoot, FindData& entry, bool withSizes);
    // The next entry; false when there is none.
    bool findNext(FindData& entry);
    // Ends the listing (also done by the destructor and by the next findFirst).
    void close();
    // Why the last findFirst found nothing (code page 950), empty when it found something.
    const std::string& failure() const { return failure_; }
    // The folder being listed, held open on its own (not open when no listing is).
    HeldFolder holdFolder() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    std::string failure_;
};

// Makes one folder; false when it exists already, its parent is missing or it cannot be made.
bool createFolder(std::string_view folder);
// The same, with the reason (code page 950) in whyNot when it returns false.
bool createFolder(std::string_view folder, std::string& whyNot);

// Whether the path names an existing folder (a drive root included).
bool folderExists(std::string_view folder);

// Whether the folder exists and may be listed and gone into.
bool folderCanBeEntered(std::string_view folder);

// Whether nothing at all stands at the path: the system finds no such entry, as opposed to one
// that is there but cannot be reached or read.
bool nothingAt(std::string_view path);

} // namespace platform
