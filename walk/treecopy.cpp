#include "treecopy.h"

#include "passcopy.h"

#include "platform/hosterror.h"
#include "text/codepage.h"
#include "text/programpath.h"

#include <cerrno>
#include <new>
#include <optional>

namespace walk {
namespace {

const text::Text kFolderTimeNotSet{u8"無法設定資料夾的修改時間："};

} // namespace

void TreeCopy::begin(std::function<bool()> closed, Taken taken) {
    closed_ = std::move(closed);
    taken_ = std::move(taken);
    filesHandled_ = 0;
    filesPresent_ = 0;
    filesLinked_ = 0;
    bytesCopied_ = 0;
    failures_ = CopyFailures{};
    linkTrial_.reset();
    sharedFiles_.clear();
    earlier_.close(); // a job that links says from where
    if (!pool_)
        pool_ = std::make_unique<CopyPool>(copyWorkers());
}

void TreeCopy::enterFolder(const Folder& folder, const std::string& targetDir) {
    enterTarget(targets_, folder, targetDir, failures_);
    // The copies of this folder's files hold both folders open on their own: the walk moves on
    // while they run.
    sourceHeld_.reset();
    targetHeld_.reset();
    earlierHeld_.reset();
    relPathHeld_ = std::make_shared<const std::string>(folder.relPath);
    if (const platform::TargetFolder* target = targets_.current())
        targetHeld_ = held<const platform::TargetFolder>([target] { return target->duplicate(); });
    // The earlier copy is followed also where nothing is linked (no target, a file system that
    // refuses links), so that each of its folders is swept. Linking needs no handle of its own:
    // without one (none left to have), files are copied.
    if (!earlier_.isOpen())
        return;
    const platform::TargetFolder* earlier = earlier_.enter(folder);
    if (earlier && targetHeld_ && !linkTrial_.refused())
        if (platform::TargetFolder copy = earlier->duplicate(); copy.isOpen())
            earlierHeld_ = std::make_shared<const platform::TargetFolder>(std::move(copy));
}

void TreeCopy::file(const Folder& folder, const platform::FindData& entry) {
    // Without a handle of its own (no descriptor left) the file fails: it is never read by its
    // whole path.
    if (!sourceHeld_ && folder.listing)
        sourceHeld_ =
            held<const platform::HeldFolder>([&folder] { return folder.listing->holdFolder(); });
    auto fileCopy = std::make_shared<FileCopy>();
    fileCopy->source = folder.path + "\\" + entry.name;
    fileCopy->entry = entry;
    fileCopy->from = sourceHeld_;
    fileCopy->to = targetHeld_;
    fileCopy->earlier = earlierHeld_;
    fileCopy->root = rootHeld_;
    fileCopy->relPath = relPathHeld_;
    fileCopy->targetIsNew = targets_.madeByThisPass();
    pool_->submit([this, fileCopy] { copy(*fileCopy); }, [this, fileCopy] { takeIn(*fileCopy); });
}

bool TreeCopy::subFolder(const std::string& name, const std::string& targetDir) {
    return makeTarget(targets_, name, targetDir, failures_);
}

void TreeCopy::folderScanned(const Folder& folder, const std::string& targetDir) {
    if (!targetHeld_ || !folder.held || !targets_.currentMadeByThisPass())
        return;
    std::optional<int64_t> time = folder.held->modificationTime();
    if (!time)
        return;
    // Taken in after every copy handed out before it, so after this folder's last file.
    pool_->submit([] {},
                  [this, target = targetHeld_, time = *time, targetDir] {
                      if (closed_())
                          return;
                      if (std::optional<std::string> whyNot = target->setModificationTime(time)) {
                          std::string path = targetDir;
                          path.pop_back(); // the trailing backslash
                          failures_.addFolder(std::move(path), kFolderTimeNotSet.str() + *whyNot);
                      }
                  });
}

bool TreeCopy::linkedToFirstName(FileCopy& copy, SharedFiles::First& first,
                                 const platform::SharedFile& file) {
    std::string relPath;
    std::string name;
    if (!sharedFiles_.copyOf(first, relPath, name) || !copy.relPath)
        return false;
    // The first name's folder: this one, or reached from the root one name at a time, never
    // through a link.
    std::optional<platform::TargetFolder> opened;
    const platform::TargetFolder* folder = copy.to.get();
    if (relPath != *copy.relPath) {
        if (!copy.root || !copy.root->isOpen())
            return false;
        std::string whyNot;
        for (const std::string& sub : text::pathElements("C:\\" + relPath)) {
            opened = (opened ? *opened : *copy.root).openSub(sub, whyNot);
            if (!opened->isOpen())
                return false;
        }
        folder = opened ? &*opened : copy.root.get();
    }
    if (!copy.to->linkToCopy(*folder, name, copy.entry.name, file.size, file.modified))
        return false;
    copy.status = platform::CopyStatus::Copied; // one more name: nothing more on the disk
    return true;
}

void TreeCopy::copy(FileCopy& copy) {
    if (!closed_()) // closed: the pass ends without it
        copyOrLink(copy);
    // The folders go with the last copy that holds them, not with the intake.
    copy.from.reset();
    copy.to.reset();
    copy.earlier.reset();
    copy.root.reset();
}

void TreeCopy::copyOrLink(FileCopy& copy) {
    // A file of several names in the tree: the first name met is copied, the others linked to
    // that copy. The first name's copy is always settled, so that no later one waits for ever.
    std::optional<platform::SharedFile> shared;
    std::shared_ptr<SharedFiles::First> first;
    bool firstName = false;
    if (copy.from && copy.to && (shared = copy.from->sharedFile(copy.entry.name)))
        first = sharedFiles_.claim(shared->id, shared->names, firstName);
    if (first && !firstName && linkedToFirstName(copy, *first, *shared))
        return;
    try {
        std::optional<platform::LinkSource> linkFrom;
        if (copy.earlier)
            linkFrom.emplace(*copy.earlier, linkTrial_);
        platform::CopyResult result =
            copyPassFile(copy.from.get(), copy.source, copy.to.get(), copy.entry.name,
                         linkFrom ? &*linkFrom : nullptr, copy.targetIsNew, copy.failures);
        copy.status = result.status;
        copy.bytes = result.bytes;
        if (copy.status == platform::CopyStatus::Failed)
            copy.failures.nameLastOnHost(copy.entry.hostText);
    } catch (const std::bad_alloc&) {
        copy.failures.add(copy.source, platform::reasonForError(ENOMEM));
    } catch (...) {
        copy.failures.add(copy.source, platform::reasonForError(EIO));
    }
    if (first && firstName) {
        bool made = copy.relPath && (copy.status == platform::CopyStatus::Copied ||
                                     copy.status == platform::CopyStatus::Linked);
        sharedFiles_.settle(*first, made, made ? *copy.relPath : std::string(), copy.entry.name);
    }
}

void TreeCopy::takeIn(FileCopy& copy) {
    if (copy.status == platform::CopyStatus::TargetExists)
        ++filesPresent_;
    else if (copy.status == platform::CopyStatus::Linked)
        ++filesLinked_;
    bytesCopied_ += copy.bytes;
    failures_.takeFiles(std::move(copy.failures));
    ++filesHandled_;
    taken_(copy.source, copy.entry);
}

void TreeCopy::drain() {
    if (pool_)
        pool_->drain();
}

void TreeCopy::end() {
    if (pool_)
        pool_->discard();
    sourceHeld_.reset();
    targetHeld_.reset();
    earlierHeld_.reset();
    rootHeld_.reset();
    targets_.close();
    earlier_.close();
}

} // namespace walk
