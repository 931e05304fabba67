#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A test-only seam: makes a named host operation fail as the system would, so that the suite can
// reach failures that a privileged test cannot provoke (a folder it may not list, a disk that
// refuses a folder). Unarmed, a check costs one atomic load.
namespace faults {

// From now on, the operation fails with `error` for every name or path that ends in `suffix`.
// Operations: "mkdir" (making a folder), "opendir" (listing a folder), "tmpfile" (an unnamed
// file; EOPNOTSUPP makes the copy use hidden temporary names as on FAT), "syncfs" (putting a
// backup's copies on the disk), "link" (linking an unchanged file to its copy in the last backup,
// or giving a copy its name by a second link, by its name; EPERM as on FAT), "noreplace" (giving a
// copy under a temporary name its own name by a rename that never replaces; EINVAL as on FAT
// under FUSE), "chmod" (setting a copy's permission bits; ENOSYS as on FAT under FUSE), "open"
// (opening a file of the program to read it whole; matched
// against its program path, such as "C:\Program Files\Tarnwick2004\TotalCount.ini", on every
// system), "probe" (making a file in a folder of the program to see that it takes one; by the
// folder's host path, EACCES as where only an administrator may write), "compare" (opening a file
// of a tree to compare its bytes, by its name).
void failAt(std::string operation, std::string suffix, int error);
// From now on, reading a file of the program whose program path ends in `suffix` gives its first
// `offset` bytes and then fails with `error`, as a disk with a bad sector does part way.
void failReadAt(std::string suffix, size_t offset, int error);
// From now on, `action` runs just before the operation is made on a name or path that ends in
// `suffix`, each time: what another program could do at that moment. Operations: "opensub" (a
// walk opens a folder that the listing of its parent showed), "syncfs" (a backup puts its
// copies on the disk), "link" (a backup links an unchanged file, by its name), "copy" (a copy
// pass begins on a file, by its name), "copychunk" (a copy under a temporary name goes on to its
// next chunk, by its name).
void beforeOperation(std::string operation, std::string suffix, std::function<void()> action);
// Removes every planted fault, action and plan.
void clear();

// Called by the operations: runs the actions planted for this one.
void runBefore(std::string_view operation, std::string_view nameOrPath);

// The error the operation must fail with for this name or path, or 0.
int injected(std::string_view operation, std::string_view nameOrPath);

struct ReadFault {
    size_t offset; // bytes that read before the failure
    int error;
};
// The failure planted for reading this program path, if any.
std::optional<ReadFault> readFault(std::string_view path);

// The steps of a write of the program's own files: each open, write, fsync, link and rename
// passes here just before it is made and just after. From this call on, steps are counted
// from 1 (until clear()): step `crashAt` ends the process on the spot (as a power cut would), and
// step `failAt`, when it comes before its system call, fails with `error` (a full disk, say). 0
// means never.
void planStoreSteps(int crashAt, int failAt, int error);
// How many store steps have been taken since planStoreSteps.
int storeStepsTaken();
// What the calls of those steps were, in order, one name a call ("open", "write", "fsync", ...).
std::vector<std::string> storeCallsMade();

// Called by the store's writes before the call named `call`: the error it must fail with, or 0.
int storeStepBefore(std::string_view call);
void storeStepAfter();

// The same for the steps of a removal of a backup folder: each rename, unlink and removal of a
// folder passes here just before it is made and just after, counted on a plan of their own.
void planRemovalSteps(int crashAt, int failAt, int error);
int removalStepsTaken();
int removalStepBefore();
void removalStepAfter();

} // namespace faults
