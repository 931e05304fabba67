#pragma once

#include "keeppolicy.h"

#include "store/backupstore.h"
#include "walk/treeremoval.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace backup {

// How a pruning of one destination went.
struct PruneReport {
    // Nothing could be done: the destination cannot be opened (whyNot names it).
    std::string whyNot;
    // The backup folders removed, or with dryRun those that would go, by their dated paths.
    std::vector<std::string> removed;
    // Those begun but not finished: their folder stays under its hidden name, and the next prune
    // or backup into the destination goes on with it.
    std::vector<std::string> unfinished;
    int kept = 0;
    std::vector<walk::RemovalFailure> failures;
    // The file system's free space before and after (not with dryRun).
    std::optional<uint64_t> freeBefore;
    std::optional<uint64_t> freeAfter;
    // With dryRun: the space of the files whose every name lies in the folders that would go.
    uint64_t estimatedBytes = 0;
};

// Removes the dated backup folders of the destination that the catalog records and the policy
// does not keep; nothing else of the destination is ever touched. Each folder is first renamed to
// a hidden name that no walk lists, then emptied from its handles, so that a removal cut short
// never leaves a folder that looks like a whole backup; removals cut short before are finished
// first. With dryRun nothing is changed. Throws ProgramError when the catalog cannot be read. The
// store's files are not changed: the catalog keeps its records.
PruneReport PruneBackups(const store::BackupStore& store, const std::string& destDir,
                         const KeepPolicy& policy, bool dryRun);

// Finishes the removals of the destination's backup folders that were cut short; what could not
// be removed is named.
std::vector<walk::RemovalFailure> FinishRemovals(const store::BackupStore& store,
                                                 const std::string& destDir);

} // namespace backup
