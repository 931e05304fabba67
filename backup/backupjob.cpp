#include "backupjob.h"

#include "keeppolicy.h"
#include "prune.h"
#include "recordedbackups.h"
#include "restorepoint.h"

#include "platform/folders.h"
#include "platform/hosterror.h"
#include "platform/removalfolder.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "walk/treeremoval.h"

#include <algorithm>
#include <charconv>

namespace backup {
namespace {

const text::Text kBackingUp{u8" 正在備份："};
const text::Text kNoStore{u8"找不到程式資料夾"};

bool sameAsciiName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

// The destination's dated folders that the catalog records. Without them a destination inside
// the source would take every earlier day's backup into today's, doubling it day by day.
void BackupJob::findBackupFolders() {
    backupFolders_.clear();
    std::optional<platform::FolderId> destination = platform::folderId(pass_.destDir);
    if (!destination || !pass_.store)
        return;
    std::optional<std::vector<std::string>> catalog;
    catalogRead_ = false;
    try {
        catalog = pass_.store->ReadCatalog();
        catalogRead_ = true;
    } catch (const ProgramError&) {
        // A damaged catalog is told when the restore point is recorded; the walk leaves out
        // today's folder still.
    }
    for (RecordedBackup& backup :
         recordedBackups(catalog.value_or(std::vector<std::string>{}), *destination))
        if (std::optional<platform::FolderId> id =
                platform::folderId(pass_.destDir + "\\" + backup.name))
            backupFolders_.push_back({std::move(backup.name), *id, std::move(backup.pointNumber)});
}

void BackupJob::countBegins() {
    findBackupFolders();
    if (std::optional<platform::FolderId> today = platform::folderId(backupFolder()))
        backupFolders_.push_back({pass_.backupName, *today, {}}); // from a backup earlier today
}

bool BackupJob::copyBegins() {
    folderList_ = pass_.sourceDir + "\n";
    findBackupFolders();
    if (pass_.store) // a removal of an old backup cut short is finished first, and named if not
        for (walk::RemovalFailure& left : FinishRemovals(*pass_.store, pass_.destDir))
            copies_.failures().addFolder(std::move(left.path), std::move(left.reason));
    sweepUnrecordedBackups();
    // The backup folder, and the copy of the source folder in it, as the root of the targets.
    // Below the destination nothing is reached through a link.
    std::string whyNot;
    std::string failed = pass_.destDir;
    platform::TargetFolder destination = platform::TargetFolder::open(pass_.destDir, whyNot);
    platform::TargetFolder backup;
    platform::TargetFolder copy;
    bool madeNow = false;
    if (destination.isOpen()) {
        failed = backupFolder();
        if (destination.makeSub(pass_.backupName, whyNot))
            backup = destination.openSub(pass_.backupName, whyNot);
    }
    backupHeld_ = backup.duplicate();
    if (backup.isOpen()) {
        if (std::optional<platform::FolderId> today = backup.id())
            backupFolders_.push_back({pass_.backupName, *today, {}});
        failed = backupFolder() + "\\" + pass_.sourceName;
        if (backup.makeSub(pass_.sourceName, whyNot, &madeNow))
            copy = backup.openSub(pass_.sourceName, whyNot);
    }
    if (!openTargets(std::move(copy), failed, whyNot, madeNow))
        return false;
    if (pass_.linkUnchanged)
        linkUnchangedFrom(openEarlierCopy(destination));
    return true;
}

// A run killed before its restore point leaves a dated folder the catalog does not record, and in
// it the copies it was writing under temporary names (where the file system has no unnamed
// files). Such folders newer than the destination's newest recorded backup are swept, each once:
// today's restore point is newer than they are, so no later run walks them again, and an older
// unrecorded folder (what another program put there, say) is never walked at all. Today's own
// folder is swept as the copy enters it.
void BackupJob::sweepUnrecordedBackups() {
    if (!catalogRead_) // without the records every earlier backup would look unrecorded
        return;
    std::optional<std::chrono::year_month_day> newest;
    for (const BackupFolder& backup : backupFolders_)
        if (!backup.pointNumber.empty())
            if (std::optional<std::chrono::year_month_day> day = backupDay(backup.name))
                newest = newest ? std::max(*newest, *day) : *day;
    std::string whyNot;
    platform::RemovalFolder destination = platform::RemovalFolder::open(pass_.destDir, whyNot);
    if (!destination.isOpen())
        return; // the copy names the destination that cannot be opened
    std::vector<platform::RemovalEntry> entries;
    if (!destination.list(entries, false, whyNot)) {
        copies_.failures().addFolder(pass_.destDir, std::move(whyNot));
        return;
    }
    for (const platform::RemovalEntry& entry : entries) {
        if (!entry.folder) // a link at a dated name is never followed
            continue;
        std::string name = platform::RemovalFolder::programNameOf(entry.hostName);
        std::optional<std::chrono::year_month_day> day = backupDay(name);
        if (!day || (newest && *day <= *newest) || sameAsciiName(name, pass_.backupName))
            continue;
        bool recorded =
            std::any_of(backupFolders_.begin(), backupFolders_.end(),
                        [&](const BackupFolder& b) { return sameAsciiName(b.name, name); });
        if (recorded)
            continue;
        std::vector<walk::RemovalFailure> failures;
        walk::removeStaleTemporaries(destination, entry.hostName, pass_.destDir + "\\" + name,
                                     failures);
        for (walk::RemovalFailure& left : failures)
            copies_.failures().addFolder(std::move(left.path), std::move(left.reason));
    }
}

// The copy of the source folder in the most recent earlier backup of it into this destination,
// as the store records it: the newest catalog record of the destination whose restore point
// names a folder list that begins with the source folder, and whose copy is still there. Nothing
// else in the destination is ever linked to. Closed when there is none.
platform::TargetFolder BackupJob::openEarlierCopy(const platform::TargetFolder& destination) const {
    std::vector<const BackupFolder*> earlier;
    for (const BackupFolder& backup : backupFolders_)
        if (!backup.pointNumber.empty() && !sameAsciiName(backup.name, pass_.backupName))
            earlier.push_back(&backup);
    auto number = [](const BackupFolder* backup) {
        long long value = -1; // a number too long to read is no newer than any
        const std::string& digits = backup->pointNumber;
        std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return value;
    };
    std::stable_sort(earlier.begin(), earlier.end(),
                     [&](auto* a, auto* b) { return number(a) > number(b); });
    for (const BackupFolder* backup : earlier) {
        try {
            std::optional<std::vector<store::PointEntry>> entries =
                pass_.store->ReadPointFile(backup->pointNumber, backup->name);
            for (const store::PointEntry& entry :
                 entries.value_or(std::vector<store::PointEntry>{})) {
                if (pass_.store->FolderListHead(entry.listFileName) != pass_.sourceDir)
                    continue;
                std::string whyNot;
                platform::TargetFolder copy =
                    destination.openSub(backup->name, whyNot).openSub(entry.sourceName, whyNot);
                if (copy.isOpen())
                    return copy;
            }
        } catch (const ProgramError&) {
            // A store file that cannot be read: nothing is linked to what it records.
        }
    }
    return {};
}

void BackupJob::targetImpossible(const std::string& path, const std::string& reason) {
    channel_.post([path, reason](BackupView& view) { view.backupFolderImpossible(path, reason); });
}

void BackupJob::rootUnreadable() {
    channel_.post([source = pass_.sourceDir](BackupView& view) { view.copyImpossible(source); });
}

void BackupJob::copyComplete() {
    channel_.post([](BackupView& view) { view.completionStarted(); });
    CopyReport report;
    report.filesHandled = copies_.filesHandled();
    report.filesPresent = copies_.filesPresent();
    report.filesLinked = copies_.filesLinked();
    report.bytesCopied = copies_.bytesCopied();
    report.failures = copies_.failures();
    RestorePointResult recorded;
    // What the restore point names is on the disk before it is recorded, so that after a power
    // cut it never names an empty or missing copy.
    if (int error = backupHeld_.flushToDisk())
        recorded.failure = StoreFailure{backupFolder(), platform::reasonForError(error)};
    else if (pass_.store)
        recorded = CreateRestorePoint({*pass_.store, pass_.destDir, pass_.backupName,
                                       pass_.sourceName, pass_.recordCount, folderList_});
    else
        recorded.failure = StoreFailure{{}, kNoStore.str()};
    backupHeld_ = platform::TargetFolder();
    report.restorePoint = recorded.number;
    report.storeFailure = std::move(recorded.failure);
    channel_.postAnyway([report = std::move(report)](BackupView& view, bool current) {
        view.completionDone(report, current);
    });
}

std::string BackupJob::backupFolder() const {
    return pass_.destDir + "\\" + pass_.backupName;
}

std::string BackupJob::targetDir(const walk::Folder& folder) const {
    return backupFolder() + "\\" + pass_.sourceName + "\\" + folder.relPath;
}

bool BackupJob::walksInto(const walk::Folder& folder, const std::string& name) {
    // Only a folder of a backup's name can be one; the look at the disk is for those.
    std::optional<platform::FolderId> id;
    for (const BackupFolder& backup : backupFolders_) {
        if (!sameAsciiName(name, backup.name))
            continue;
        if (!id)
            id = platform::folderId(folder.path + "\\" + name);
        if (id == backup.id)
            return false;
    }
    return true;
}

void BackupJob::folderMade(const walk::Folder& folder, const std::string& name) {
    // The folder list holds only folders that exist in the backup.
    folderList_ += folder.path + "\\" + name + "\n";
}

void BackupJob::describeCopy(BackupProgress& progress, const std::string& source,
                             const platform::FindData&) {
    progress.status = kBackingUp.str() + source;
}

} // namespace backup
