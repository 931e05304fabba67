#pragma once

#include "copyfailures.h"
#include "folderwalk.h"

#include "platform/targetfolder.h"

#include <string>

// How a copy pass makes its target folders and copies its files, for the backup and the restore.
namespace walk {

class TargetTree;

// The copy pass enters a folder: its target becomes the current one. A target that cannot be
// opened is noted under its path (targetDir, the target's path with a trailing backslash).
void enterTarget(TargetTree& targets, const Folder& folder, std::string targetDir,
                 CopyFailures& failures);

// Makes the target of a sub-folder of the current folder (targetDir: the current target's path
// with a trailing backslash); true when it is there. One that cannot be made is noted.
bool makeTarget(TargetTree& targets, const std::string& name, const std::string& targetDir,
                CopyFailures& failures);

// Copies one file of a copy pass (the entry `name` of the folder `source` holds open; `from` is
// its whole path, for the user) into its target folder without replacing anything, or links it
// to its unchanged copy in `linkFrom` (see TargetFolder::copyIn); a failure, or another file
// found at the name, is noted under `from`. Without a target folder (it could not be made) or a
// source folder held (no handle left) the file fails too. targetIsNew: see copyIn's folderIsNew.
platform::CopyResult copyPassFile(const platform::HeldFolder* source, const std::string& from,
                                  const platform::TargetFolder* folder, const std::string& name,
                                  const platform::LinkSource* linkFrom, bool targetIsNew,
                                  CopyFailures& failures);

} // namespace walk
