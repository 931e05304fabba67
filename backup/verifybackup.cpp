#include "verifybackup.h"

#include "recordedbackups.h"

#include "platform/entryreader.h"
#include "platform/filecopy.h"
#include "platform/hosterror.h"
#include "platform/stagingname.h"
#include "platform/targetfolder.h"
#include "text/programerror.h"
#include "walk/folderchain.h"
#include "walk/folderwalk.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <vector>

namespace backup {
namespace {

bool sameAsciiName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

long long numberOf(const std::string& digits) {
    long long value = -1; // a number too long to read is no newer than any
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

// A dated backup folder of the destination, which the backup's walk leaves out.
struct DatedFolder {
    std::string name;
    platform::FolderId id;
};

class TreeVerifier : public walk::WalkVisitor {
public:
    TreeVerifier(const VerifyInput& input, VerifyView& view, VerifyReport& report,
                 platform::HeldFolder copy, std::vector<DatedFolder> dated)
        : input_(input), view_(view), report_(report), dated_(std::move(dated)) {
        copies_.reset(std::move(copy));
    }

private:
    bool stopRequested() const override { return false; }
    bool wantsSizes() const override { return false; } // each file is looked at on its own

    bool walksInto(const walk::Folder& folder, const std::string& name) override {
        std::optional<platform::FolderId> id;
        for (const DatedFolder& backup : dated_) {
            if (!sameAsciiName(name, backup.name))
                continue;
            if (!id)
                id = platform::folderId(folder.path + "\\" + name);
            if (id == backup.id)
                return false;
        }
        return true;
    }

    void enterFolder(const walk::Folder& folder) override {
        folderPath_ = folder.path;
        folderUnreadable_ = false;
        sourceHeld_ = platform::HeldFolder();
        entries_.clear();
        copyPath_ = input_.copy.path;
        if (!folder.relPath.empty()) { // its trailing backslash left out
            copyPath_ += '\\';
            copyPath_.append(folder.relPath, 0, folder.relPath.size() - 1);
        }
        size_t index = static_cast<size_t>(folder.level - 1);
        copy_ = nullptr;
        if (index == 0) {
            copy_ = copies_.at(0);
        } else {
            // A folder the backup lacks was told as missing when its parent was scanned.
            bool there = inCopy_.erase(folder.relPath) > 0;
            std::string whyNot;
            copy_ = copies_.descend(index, folder.name, whyNot, there);
            if (there && !copy_)
                tell(DifferenceKind::Unreadable, copyPath_, whyNot);
        }
        if (!copy_)
            return;
        ++report_.folders;
        platform::FolderSearch search;
        platform::FindData entry;
        if (!search.findFirst(*copy_, false, entry, false)) {
            tell(DifferenceKind::Unreadable, copyPath_, search.failure());
            copy_ = nullptr;
            return;
        }
        do {
            if (entry.name == "." || entry.name == ".." || platform::isStagingName(entry.name) ||
                platform::isRemovingName(entry.name))
                continue;
            entries_.emplace(entry.name, entry);
        } while (search.findNext(entry));
    }

    // The entry of the copy's folder at the name, taken out of those left to match.
    std::optional<platform::FindData> take(const std::string& name) {
        auto found = entries_.find(name);
        if (found == entries_.end())
            return std::nullopt;
        platform::FindData entry = std::move(found->second);
        entries_.erase(found);
        return entry;
    }

    void file(const walk::Folder& folder, const platform::FindData& entry) override {
        if (!copy_)
            return;
        ++report_.files;
        std::string source = folder.path + "\\" + entry.name;
        std::optional<platform::FindData> inCopy = take(entry.name);
        if (!sourceHeld_.isOpen() && folder.listing)
            sourceHeld_ = folder.listing->holdFolder();
        platform::EntryFacts mine = platform::lookAt(sourceHeld_, entry.name);
        if (mine.kind == platform::EntryKind::Unreadable) {
            tell(DifferenceKind::Unreadable, source, mine.reason, entry.hostText);
        } else if (!inCopy) {
            if (mine.kind != platform::EntryKind::Nothing) // gone since it was listed
                tell(DifferenceKind::MissingFromBackup, source, {}, entry.hostText);
        } else {
            compare(source, entry, mine);
        }
        view_.compared(report_.files, report_.bytesRead);
    }

    void compare(const std::string& source, const platform::FindData& entry,
                 const platform::EntryFacts& mine) {
        std::string copied = copyPath_ + "\\" + entry.name;
        platform::EntryFacts theirs = platform::lookAt(*copy_, entry.name);
        if (theirs.kind == platform::EntryKind::Unreadable)
            return tell(DifferenceKind::Unreadable, copied, theirs.reason, entry.hostText);
        if (mine.kind == platform::EntryKind::Nothing) {
            if (theirs.kind != platform::EntryKind::Nothing)
                tell(DifferenceKind::OnlyInBackup, copied, {}, entry.hostText);
            return;
        }
        if (theirs.kind != mine.kind)
            return tell(DifferenceKind::MissingFromBackup, source, {}, entry.hostText);
        if (mine.kind == platform::EntryKind::Link) {
            if (mine.linkText != theirs.linkText)
                tell(DifferenceKind::Contents, source, {}, entry.hostText);
            return;
        }
        if (mine.kind != platform::EntryKind::File)
            return;
        if (!platform::sameSizeAndTime(mine.size, mine.modified, theirs.size, theirs.modified))
            return tell(DifferenceKind::SizeOrTime, source, {}, entry.hostText);
        if (input_.full)
            compareBytes(source, copied, entry);
    }

    void compareBytes(const std::string& source, const std::string& copied,
                      const platform::FindData& entry) {
        platform::FileReader mine;
        platform::FileReader theirs;
        if (int error = mine.open(sourceHeld_, entry.name))
            return tell(DifferenceKind::Unreadable, source, platform::reasonForError(error),
                        entry.hostText);
        if (int error = theirs.open(*copy_, entry.name))
            return tell(DifferenceKind::Unreadable, copied, platform::reasonForError(error),
                        entry.hostText);
        constexpr size_t kChunk = 1 << 17;
        mineBuffer_.resize(kChunk);
        theirBuffer_.resize(kChunk);
        for (;;) {
            int64_t got = mine.read(mineBuffer_.data(), kChunk);
            if (got < 0)
                return tell(DifferenceKind::Unreadable, source,
                            platform::reasonForError(static_cast<int>(-got)), entry.hostText);
            // The copy is read to the same length, as far as it goes.
            int64_t have = 0;
            while (have < got) {
                int64_t more =
                    theirs.read(theirBuffer_.data() + have, static_cast<size_t>(got - have));
                if (more < 0)
                    return tell(DifferenceKind::Unreadable, copied,
                                platform::reasonForError(static_cast<int>(-more)), entry.hostText);
                if (more == 0)
                    break;
                have += more;
            }
            report_.bytesRead += static_cast<uint64_t>(got);
            if (have != got ||
                !std::equal(mineBuffer_.begin(), mineBuffer_.begin() + got, theirBuffer_.begin()))
                return tell(DifferenceKind::Contents, source, {}, entry.hostText);
            if (got == 0)
                return;
            view_.compared(report_.files, report_.bytesRead);
        }
    }

    void subFolder(const walk::Folder& folder, const std::string& name) override {
        if (!copy_)
            return;
        std::optional<platform::FindData> inCopy = take(name);
        if (inCopy && inCopy->isDirectory())
            inCopy_.insert(folder.relPath + name + "\\");
        else
            tell(DifferenceKind::MissingFromBackup, folder.path + "\\" + name);
    }

    void folderUnreadable(const std::string& path, const std::string& reason,
                          const std::string& /*hostText*/) override {
        if (path == folderPath_) {
            folderUnreadable_ = true; // its copy's entries cannot be matched
        } else {
            take(path.substr(folderPath_.size() + 1)); // a folder whose name has no form here
            if (!copy_)
                return; // told with its parent
        }
        tell(DifferenceKind::Unreadable, path, reason);
    }

    void compatibilityLinkPassed(const std::string& path) override {
        take(path.substr(folderPath_.size() + 1)); // passed over by the backup too
    }

    void folderScanned(const walk::Folder&) override {
        if (copy_ && !folderUnreadable_)
            for (const auto& [name, entry] : entries_)
                tell(DifferenceKind::OnlyInBackup, copyPath_ + "\\" + name, {}, entry.hostText);
        entries_.clear();
    }

    void tell(DifferenceKind kind, const std::string& path, const std::string& reason = {},
              const std::string& hostText = {}) {
        ++report_.differences[static_cast<int>(kind)];
        view_.difference({kind, path, reason, hostText});
    }

    const VerifyInput& input_;
    VerifyView& view_;
    VerifyReport& report_;
    std::vector<DatedFolder> dated_;
    walk::FolderChain<platform::HeldFolder> copies_; // the copy's folders along the walk's path
    std::set<std::string> inCopy_; // relative paths of sub-folders the copy has, to be entered
    // The folder being scanned.
    std::string folderPath_;
    std::string copyPath_;
    bool folderUnreadable_ = false;
    const platform::HeldFolder* copy_ = nullptr; // its copy, when there is one to compare with
    platform::HeldFolder sourceHeld_;
    std::multimap<std::string, platform::FindData> entries_; // of its copy, not yet matched
    std::vector<char> mineBuffer_;
    std::vector<char> theirBuffer_;
};

} // namespace

int64_t VerifyReport::differenceTotal() const {
    int64_t total = 0;
    for (int64_t count : differences)
        total += count;
    return total;
}

std::optional<RecordedCopy> newestBackupOf(const store::BackupStore& store,
                                           const std::string& sourceDir,
                                           const std::string& destDir) {
    std::optional<platform::FolderId> destination = platform::folderId(destDir);
    if (!destination)
        return std::nullopt;
    std::vector<RecordedBackup> backups =
        recordedBackups(store.ReadCatalog().value_or(std::vector<std::string>{}), *destination);
    std::stable_sort(backups.begin(), backups.end(), [](const auto& a, const auto& b) {
        return numberOf(a.pointNumber) > numberOf(b.pointNumber);
    });
    for (const RecordedBackup& backup : backups) {
        std::optional<std::vector<store::PointEntry>> entries =
            store.ReadPointFile(backup.pointNumber, backup.name);
        for (const store::PointEntry& entry : entries.value_or(std::vector<store::PointEntry>{}))
            if (store.FolderListHead(entry.listFileName) == sourceDir)
                return RecordedCopy{backup.name, backup.pointNumber, entry.sourceName,
                                    destDir + "\\" + backup.name + "\\" + entry.sourceName};
    }
    return std::nullopt;
}

VerifyReport verifyBackup(const VerifyInput& input, VerifyView& view) {
    VerifyReport report;
    // The copy is reached as the backup made it: the destination by its path, below it one name
    // at a time, never through a link.
    std::string whyNot;
    platform::HeldFolder copy = platform::HeldFolder::open(input.destDir, whyNot);
    if (copy.isOpen())
        copy = copy.openSub(input.copy.backupName, whyNot);
    if (copy.isOpen())
        copy = copy.openSub(input.copy.sourceName, whyNot);
    if (!copy.isOpen()) {
        report.copyUnreadable = whyNot;
        return report;
    }
    std::vector<DatedFolder> dated;
    if (std::optional<platform::FolderId> destination = platform::folderId(input.destDir))
        for (RecordedBackup& backup : recordedBackups(
                 input.store.ReadCatalog().value_or(std::vector<std::string>{}), *destination))
            if (std::optional<platform::FolderId> id =
                    platform::folderId(input.destDir + "\\" + backup.name))
                dated.push_back({std::move(backup.name), *id});
    TreeVerifier verifier(input, view, report, std::move(copy), std::move(dated));
    if (walk::WalkTree(input.sourceDir, verifier) == walk::WalkResult::RootUnreadable)
        report.sourceUnreadable = true;
    return report;
}

} // namespace backup
