#include "prune.h"

#include "recordedbackups.h"

#include "platform/hosterror.h"
#include "platform/removalfolder.h"
#include "platform/stagingname.h"
#include "text/programerror.h"

#include <algorithm>

namespace backup {
namespace {

struct Destination {
    std::string path;
    platform::RemovalFolder folder;
    std::vector<std::string> backupNames; // the catalog's, for this destination

    std::string pathOf(const std::string& name) const { return path + "\\" + name; }
};

// The destination held open, or nothing with the reason.
platform::RemovalFolder openDestination(const std::string& destDir,
                                        std::optional<platform::FolderId>& id,
                                        std::string& whyNot) {
    platform::RemovalFolder folder = platform::RemovalFolder::open(destDir, whyNot);
    id = folder.id();
    if (folder.isOpen() && !id)
        whyNot = platform::reasonForError(EIO);
    return folder;
}

// Removes the hidden folder of a backup; true when it is gone.
bool removeHidden(const Destination& destination, const std::string& name,
                  std::vector<walk::RemovalFailure>& failures) {
    std::string hidden = platform::removingName(name);
    std::optional<std::string> host = platform::RemovalFolder::hostNameOf(hidden);
    if (!host) {
        failures.push_back({destination.pathOf(hidden), platform::unusableNameReason()});
        return false;
    }
    return walk::removeTree(destination.folder, *host, destination.pathOf(hidden), failures);
}

void tally(const Destination& destination, const std::string& name, walk::SpaceTally& space,
           std::vector<walk::RemovalFailure>& failures) {
    if (std::optional<std::string> host = platform::RemovalFolder::hostNameOf(name))
        space.addTree(destination.folder, *host, destination.pathOf(name), failures);
}

} // namespace

PruneReport PruneBackups(const store::BackupStore& store, const std::string& destDir,
                         const KeepPolicy& policy, bool dryRun) {
    PruneReport report;
    std::optional<platform::FolderId> id;
    Destination destination{destDir, openDestination(destDir, id, report.whyNot), {}};
    if (!id) {
        report.whyNot = platform::withReason(destDir, report.whyNot);
        return report;
    }
    destination.backupNames =
        recordedBackupNames(store.ReadCatalog().value_or(std::vector<std::string>{}), *id);
    if (!dryRun)
        report.freeBefore = platform::freeSpace(destDir);
    walk::SpaceTally space;

    // First what a removal cut short left.
    for (const std::string& name : destination.backupNames) {
        std::string hidden = platform::removingName(name);
        if (!destination.folder.hasFolder(hidden))
            continue;
        if (dryRun)
            tally(destination, hidden, space, report.failures);
        else if (!removeHidden(destination, name, report.failures)) {
            report.unfinished.push_back(destination.pathOf(name));
            continue;
        }
        report.removed.push_back(destination.pathOf(name));
    }

    // The dated folders there: a name that is no date, or a link at the name, is left alone.
    std::vector<std::string> names;
    std::vector<DatedBackup> backups;
    for (size_t i = 0; i < destination.backupNames.size(); ++i) {
        const std::string& name = destination.backupNames[i];
        std::optional<std::chrono::year_month_day> day = backupDay(name);
        if (day && destination.folder.hasFolder(name)) {
            names.push_back(name);
            backups.push_back({*day, static_cast<int>(i)});
        }
    }
    std::vector<bool> keep = backupsToKeep(backups, policy);
    std::vector<size_t> oldestFirst;
    for (size_t i = 0; i < backups.size(); ++i) {
        if (keep[i])
            ++report.kept;
        else
            oldestFirst.push_back(i);
    }
    std::stable_sort(oldestFirst.begin(), oldestFirst.end(),
                     [&](size_t a, size_t b) { return backups[a].day < backups[b].day; });

    for (size_t i : oldestFirst) {
        const std::string& name = names[i];
        if (dryRun) {
            tally(destination, name, space, report.failures);
            report.removed.push_back(destination.pathOf(name));
            continue;
        }
        // Aside first: from here on no walk lists it, and no one takes it for a whole backup.
        if (int error = destination.folder.renameSub(name, platform::removingName(name))) {
            report.failures.push_back({destination.pathOf(name), platform::reasonForError(error)});
            continue;
        }
        if (removeHidden(destination, name, report.failures))
            report.removed.push_back(destination.pathOf(name));
        else
            report.unfinished.push_back(destination.pathOf(name));
    }
    if (dryRun)
        report.estimatedBytes = space.freedBytes();
    else
        report.freeAfter = platform::freeSpace(destDir);
    return report;
}

std::vector<walk::RemovalFailure> FinishRemovals(const store::BackupStore& store,
                                                 const std::string& destDir) {
    std::vector<walk::RemovalFailure> failures;
    std::optional<platform::FolderId> id;
    std::string whyNot;
    Destination destination{destDir, openDestination(destDir, id, whyNot), {}};
    if (!id)
        return failures; // the backup says why it cannot use the destination
    try {
        destination.backupNames =
            recordedBackupNames(store.ReadCatalog().value_or(std::vector<std::string>{}), *id);
    } catch (const ProgramError&) {
        return failures; // told when the restore point is recorded
    }
    for (const std::string& name : destination.backupNames)
        if (destination.folder.hasFolder(platform::removingName(name)))
            removeHidden(destination, name, failures);
    return failures;
}

} // namespace backup
