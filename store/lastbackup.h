#pragma once

#include "backupstore.h"

#include "platform/files.h"

#include <optional>
#include <string>

// LastBackup.ini in the program folder: how the last backup without a window ended, so that the
// window can tell the user of one that failed when it next starts. Six lines, in this order:
//   時間=2004/5/1 02:30        when it ended
//   來源=D:\Data               the folder backed up
//   目地=E:\Bak\2004_5_1_Back  where it went (the destination, when no backup folder was made)
//   結果=1                     its exit status: 0, 1 or 2
//   原因=...                   why it did not end with 0, on one line; empty for 0
//   已告知=0                   1 once the window has shown it
// A text-mode file in code page 950, written whole like every file of the store.
namespace store {

struct LastBackup {
    std::string when;
    std::string sourceDir;
    std::string destDir;
    int status = 0;
    std::string reason;
    bool told = false;

    bool operator==(const LastBackup&) const = default;
};

// The file's record; nullopt when it is missing or damaged (anything but the six lines above,
// whole), which the next backup without a window replaces. Throws ProgramError when it is there
// but cannot be read.
std::optional<LastBackup> ReadLastBackup(const BackupStore& store);

// Replaces the file with the record (a reason of several lines is written on one).
platform::WriteResult WriteLastBackup(const BackupStore& store, const LastBackup& record);

} // namespace store
