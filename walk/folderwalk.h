#pragma once

#include "platform/folders.h"

#include <string>

// The folder walk that the backup and the restore share: a pre-order, depth-first walk of a
// whole folder tree (the root is level 1). A folder's files and sub-folder entries are handled
// while it is scanned, in the order its listing gives them, before any of its sub-folders is
// visited. Links are listed as files and never followed, so no walk can loop or leave its tree:
// only the root is opened by its path, every folder below it from its parent's handle by name,
// and a link or a file found where a listing showed a folder is named as a folder that cannot be
// walked.
// The program's own temporary files (a copy cut short) are never shown to the visitor.
namespace walk {

// The folder being scanned.
struct Folder {
    const std::string& path;    // full path, no trailing backslash
    int level;                  // 1 for the root of the walk
    const std::string& relPath; // path below the root: empty at level 1, else ending in "\"
    const std::string& name;    // its own name (below the root; empty for the root)
    // While its entries are handed out: the listing, which holds the folder open, so that a file
    // can be read without looking up its whole path again.
    const platform::FolderSearch* listing = nullptr;
    // The folder held open, while it is scanned and when its scan is over (nullptr when it could
    // not be opened).
    const platform::HeldFolder* held = nullptr;
};

// What a job does with what the walk finds. Runs on the thread that walks.
class WalkVisitor {
public:
    virtual ~WalkVisitor() = default;
    // Asked before every entry: true ends the walk there.
    virtual bool stopRequested() const = 0;
    // Whether file() needs the files' sizes (they cost a look at every file).
    virtual bool wantsSizes() const { return true; }
    // Whether a sub-folder belongs to the walk; one that does not is passed over as if absent.
    virtual bool walksInto(const Folder& /*folder*/, const std::string& /*name*/) { return true; }
    // A folder's scan begins (before its listing is read).
    virtual void enterFolder(const Folder& /*folder*/) {}
    virtual void file(const Folder& folder, const platform::FindData& entry) = 0;
    virtual void subFolder(const Folder& folder, const std::string& name) = 0;
    // A folder below the root whose contents cannot be walked: it cannot be listed, or its name
    // has no form on this system (hostText: the host's own name, see FindData). Nothing inside
    // it is visited.
    virtual void folderUnreadable(const std::string& path, const std::string& reason,
                                  const std::string& hostText) = 0;
    // A link Windows keeps for old programs (see FindData): not a file of the walk.
    virtual void compatibilityLinkPassed(const std::string& /*path*/) {}
    // After every scan, also of a folder that could not be listed; before its sub-folders are
    // walked.
    virtual void folderScanned(const Folder& folder) = 0;
};

// Scans one folder: hands every entry after "." and ".." to the visitor. Returns the number of
// folder entries met, the parent entry included (0 when the folder cannot be listed).
int ScanFolder(const std::string& path, int level, const std::string& relPath,
               WalkVisitor& visitor);

enum class WalkResult {
    Complete,       // every entry handled
    Stopped,        // the visitor ended it
    RootUnreadable, // the root itself cannot be listed: there was nothing to walk
};

// Walks the tree below root, every level of it.
WalkResult WalkTree(const std::string& root, WalkVisitor& visitor);

} // namespace walk
