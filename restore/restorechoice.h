#pragma once

#include "restorejob.h"

#include "store/backupstore.h"

#include <optional>
#include <string>

namespace restore {

// What the user chose to restore: the copy of a backed-up folder in a backup (copyRoot, such as
// E:\Bak\2004_5_1_Back\Data), the folder at or below it whose files go back, and the folder list
// file the restore point recorded for that copy.
struct RestoreChoice {
    std::string copyRoot;
    std::string folder;
    std::string listFileName;

    // The text the folder list is searched with: a backslash before each name from the copy's
    // root down to the folder ("\Data\Docs").
    std::string sourceLineKey() const;
    // How far the folder lies below the copy's root (0: the root itself).
    int levelsBelowCopyRoot() const;
};

// The restore of the choice: from the chosen folder back into the folder the list says it came
// from; an empty target when the list names none. nullopt when the list file is missing; throws
// ProgramError when it cannot be read.
std::optional<RestoreJobInput> restoreInput(const store::BackupStore& store,
                                            const RestoreChoice& choice);

// The restore of the choice into another folder instead: the chosen folder goes to its path in
// the backup below `intoFolder` (E:\Bak\2004_5_1_Back\Data\Docs into F:\Out gives
// F:\Out\Data\Docs). Links are followed down to `intoFolder`, never below it.
RestoreJobInput restoreInputInto(const RestoreChoice& choice, const std::string& intoFolder);

} // namespace restore
