#pragma once

#include "platform/folders.h"

#include <string>

// The folder walk that the backup and the restore share: a pre-order, depth-first walk of a
// folder tree, nine levels deep (the root is level 1; the sub-folders of a level-9 folder are
// seen but not entered). A folder's files and sub-folder entries are handled while it is
// scanned, in the order its listing gives them, before any of its sub-folders is visited.
namespace walk {

constexpr int kDeepestLevel = 9;

// The folder being scanned.
struct Folder {
    const std::string& path;    // full path, no trailing backslash
    int level;                  // 1 for the root of the walk
    const std::string& relPath; // path below the root: empty at level 1, else ending in "\"
};

// What a job does with what the walk finds. Runs on the thread that walks.
class WalkVisitor {
public:
    virtual ~WalkVisitor() = default;
    // Asked before every entry: true ends the walk there.
    virtual bool stopRequested() const = 0;
    // Whether file() needs the files' sizes (they cost a look at every file).
    virtual bool wantsSizes() const { return true; }
    virtual void file(const Folder& folder, const platform::FindData& entry) = 0;
    virtual void subFolder(const Folder& folder, const std::string& name) = 0;
    // After every scan, also of a folder that could not be listed.
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

// Walks the tree below root.
WalkResult WalkTree(const std::string& root, WalkVisitor& visitor);

} // namespace walk
