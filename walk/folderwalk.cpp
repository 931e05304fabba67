#include "folderwalk.h"

#include "folderchain.h"

#include "platform/hosterror.h"
#include "platform/hostpath.h"
#include "platform/stagingname.h"
#include "platform/targetfolder.h"

#include <cerrno>
#include <vector>

namespace walk {
namespace {

enum class Scan { Listed, Stopped };

using SourceChain = FolderChain<platform::HeldFolder>;

// Scans the folder, held open (or nullptr, with the reason, when it could not be opened), and
// gives back the sub-folders to walk into.
Scan scan(const Folder& folder, const platform::HeldFolder* held, const std::string& whyNot,
          WalkVisitor& visitor, int& entries, std::vector<std::string>& subFolders) {
    entries = 0;
    platform::FolderSearch search;
    platform::FindData entry;
    bool driveRoot = folder.level == 1 && text::isDriveRoot(folder.path);
    bool more = held && search.findFirst(*held, driveRoot, entry, visitor.wantsSizes());
    if (!more && folder.level > 1) {
        std::string reason = held ? search.failure() : whyNot;
        visitor.folderUnreadable(folder.path,
                                 reason.empty() ? platform::reasonForError(ENOENT) : reason, {});
    }
    const Folder listed{folder.path, folder.level, folder.relPath, folder.name, &search, held};
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
            if (platform::isRemovingName(entry.name))
                continue; // a backup folder on its way out: never a whole backup
            if (!visitor.walksInto(listed, entry.name))
                continue;
            ++entries;
            if (!text::hostName(entry.name)) {
                // A name read as "?": the folder cannot be reached under it.
                visitor.folderUnreadable(folder.path + "\\" + entry.name,
                                         platform::unusableNameReason(), entry.hostText);
                continue;
            }
            visitor.subFolder(listed, entry.name);
            subFolders.push_back(std::move(entry.name));
        } else if (entry.compatibilityLink) {
            visitor.compatibilityLinkPassed(folder.path + "\\" + entry.name);
        } else if (!platform::isStagingName(entry.name)) {
            visitor.file(listed, entry);
        }
    }
    search.close();
    visitor.folderScanned({folder.path, folder.level, folder.relPath, folder.name, nullptr, held});
    return Scan::Listed;
}

// Walks the folder at `depth` on the chain's path (0: the root, held already); every folder
// below the root is opened from its parent's handle, by name, never through a link.
bool walkFolder(const Folder& folder, SourceChain& chain, size_t depth, WalkVisitor& visitor) {
    int entries = 0;
    std::vector<std::string> subFolders;
    visitor.enterFolder(folder);
    std::string whyNot;
    const platform::HeldFolder* held =
        depth == 0 ? chain.at(0) : chain.descend(depth, folder.name, whyNot);
    if (scan(folder, held, whyNot, visitor, entries, subFolders) == Scan::Stopped)
        return false;
    for (const std::string& name : subFolders) {
        std::string path = folder.path + "\\" + name;
        std::string relPath = folder.relPath + name + "\\";
        if (!walkFolder({path, folder.level + 1, relPath, name}, chain, depth + 1, visitor))
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
    std::string whyNot;
    platform::HeldFolder held = platform::HeldFolder::open(path, whyNot);
    const Folder folder{path, level, relPath, name};
    visitor.enterFolder(folder);
    scan(folder, held.isOpen() ? &held : nullptr, whyNot, visitor, entries, subFolders);
    return entries;
}

WalkResult WalkTree(const std::string& root, WalkVisitor& visitor) {
    if (!platform::folderCanBeEntered(root))
        return WalkResult::RootUnreadable;
    // The root alone is opened by its path, as the user chose it.
    std::string whyNot;
    SourceChain chain;
    chain.reset(platform::HeldFolder::open(root, whyNot));
    if (!chain.at(0))
        return WalkResult::RootUnreadable;
    std::string relPath;
    std::string name;
    return walkFolder({root, 1, relPath, name}, chain, 0, visitor) ? WalkResult::Complete
                                                                   : WalkResult::Stopped;
}

} // namespace walk
