#include "folderwalk.h"

#include "platform/hosterror.h"
#include "platform/hostpath.h"
#include "platform/targetfolder.h"

#include <vector>

namespace walk {
namespace {

enum class Scan { Listed, Stopped };

// Scans the folder and gives back the sub-folders to walk into.
Scan scan(const Folder& folder, WalkVisitor& visitor, int& entries,
          std::vector<std::string>& subFolders) {
    entries = 0;
    visitor.enterFolder(folder);
    platform::FolderSearch search;
    platform::FindData entry;
    // Below the root a link is never followed, even one that took a folder's place since the
    // parent was listed.
    auto links = folder.level > 1 ? platform::FolderSearch::Links::Refuse
                                  : platform::FolderSearch::Links::Follow;
    bool more = search.findFirst(folder.path, entry, visitor.wantsSizes(), links);
    if (!more && folder.level > 1)
        visitor.folderUnreadable(folder.path, search.failure());
    const Folder listed{folder.path, folder.level, folder.relPath, folder.name, &search};
    // "." and ".." lead every listing but a drive root's; they are never visited.
    for (; more; more = search.findNext(entry)) {
        if (visitor.stopRequested())
            return Scan::Stopped;
        if (entry.isDirectory()) {
            if (entry.name == ".")
                continue;
            if (entry.name == "..") {
                ++entries; // the parent entry counts, but is never visited
                continue;
            }
            if (!visitor.walksInto(listed, entry.name))
                continue;
            ++entries;
            if (!platform::hostName(entry.name)) {
                // A name read as "?": the folder cannot be reached under it.
                visitor.folderUnreadable(folder.path + "\\" + entry.name,
                                         platform::unusableNameReason());
                continue;
            }
            visitor.subFolder(listed, entry.name);
            subFolders.push_back(std::move(entry.name));
        } else if (!platform::isStagingName(entry.name)) {
            visitor.file(listed, entry);
        }
    }
    search.close();
    visitor.folderScanned(folder);
    return Scan::Listed;
}

bool walkFolder(const Folder& folder, WalkVisitor& visitor) {
    int entries = 0;
    std::vector<std::string> subFolders;
    if (scan(folder, visitor, entries, subFolders) == Scan::Stopped)
        return false;
    for (const std::string& name : subFolders) {
        std::string path = folder.path + "\\" + name;
        std::string relPath = folder.relPath + name + "\\";
        if (!walkFolder({path, folder.level + 1, relPath, name}, visitor))
            return false;
    }
    return true;
}

} // namespace

int ScanFolder(const std::string& path, int level, const std::string& relPath,
               WalkVisitor& visitor) {
    int entries = 0;
    std::vector<std::string> subFolders;
    std::string name;
    scan({path, level, relPath, name}, visitor, entries, subFolders);
    return entries;
}

WalkResult WalkTree(const std::string& root, WalkVisitor& visitor) {
    if (!platform::folderCanBeEntered(root))
        return WalkResult::RootUnreadable;
    std::string relPath;
    std::string name;
    return walkFolder({root, 1, relPath, name}, visitor) ? WalkResult::Complete
                                                         : WalkResult::Stopped;
}

} // namespace walk
