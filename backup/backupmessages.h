#pragma once

#include "restorepoint.h"

#include <cstdint>
#include <string>

// What a backup tells the user when it cannot be made or recorded, in the same words in the
// dialog and on the command line (code page 950).
namespace backup {

// The source folder is gone or cannot be read: nothing was copied. Says which of the two.
std::string cannotReadSourceMessage(const std::string& sourceDir);
// The backup folder (or the copy of the source in it) cannot be made: nothing was copied.
std::string cannotMakeBackupFolderMessage(const std::string& path, const std::string& reason);
// The files are copied, but no restore point leads to them.
std::string notRecordedMessage(const StoreFailure& failure);
// How many files were linked to the last backup's copies rather than copied again.
std::string linkedText(int64_t linked);

} // namespace backup
