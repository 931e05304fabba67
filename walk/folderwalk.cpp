#include "folderwalk.h"

#include <vector>

namespace walk {
namespace {

// Scans the folder and gives back its sub-folders' names; `stopped` tells whether the visitor
// ended the walk during the scan.
std::vector<std::string> scan(const std::string& path, int level, const std::string& relPath,
                              WalkVisitor& visitor, int& entries, bool& stopped) {
    std::vector<std::string> subFolders;
    Folder folder{path, level, relPath};
    entries = 0;
    stopped = false;
    platform::FolderSearch search;
    platform::FindData entry;
    // "." and ".." lead every listing but a drive root's; they are never visited.
    bool sizes = visitor.wantsSizes();
    for (bool more = search.findFirst(path, entry, sizes); more; more = search.findNext(entry)) {
        if (visitor.stopRequested()) {
            stopped = true;
            return subFolders;
        }
        if (entry.isDirectory()) {
            if (entry.name == ".")
                continue;
            ++entries; // the parent entry ".." counts, but is never visited
            if (entry.name == "..")
                continue;
            visitor.subFolder(folder, entry.name);
            subFolders.push_back(std::move(entry.name));
        } else {
            visitor.file(folder, entry);
        }
    }
    search.close();
    visitor.folderScanned(folder);
    return subFolders;
}

bool walkFolder(const std::string& path, int level, const std::string& relPath,
                WalkVisitor& visitor) {
    int entries = 0;
    bool stopped = false;
    std::vector<std::string> subFolders = scan(path, level, relPath, visitor, entries, stopped);
    if (stopped)
        return false;
    if (level >= kDeepestLevel)
        return true;
    for (const std::string& name : subFolders)
        if (!walkFolder(path + "\\" + name, level + 1, relPath + name + "\\", visitor))
            return false;
    return true;
}

} // namespace

int ScanFolder(const std::string& path, int level, const std::string& relPath,
               WalkVisitor& visitor) {
    int entries = 0;
    bool stopped = false;
    scan(path, level, relPath, visitor, entries, stopped);
    return entries;
}

WalkResult WalkTree(const std::string& root, WalkVisitor& visitor) {
    if (!platform::folderCanBeEntered(root))
        return WalkResult::RootUnreadable;
    return walkFolder(root, 1, std::string(), visitor) ? WalkResult::Complete : WalkResult::Stopped;
}

} // namespace walk
