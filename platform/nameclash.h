#pragma once

#include <optional>
#include <string>

namespace platform {

// Some file systems match a name to an entry of another name: Windows and FAT by the 8.3 short
// name each long name gets (LONGFI~1.TXT is longfilename.txt), folders that ignore case by case.
// What such a match finds is not the entry asked for: a copy counted "already there" would be
// lost, and a folder made "already there" would be merged into another. Before anything found at
// a name is taken as that name's, the folder's own name for it is compared with the name asked.

// The reason for an entry whose name the folder matched to another entry (code page 950).
std::string nameClashReason(bool caseOnly);

// For tests on file systems that match names exactly: look at the folder's names wherever a
// match is found, as on one that may not.
void assumeNamesMayMatchOthersForTesting(bool assume);
bool namesMayMatchOthersAssumed();

#ifndef _WIN32
// nullopt when the folder (held by folderFd) holds an entry named exactly `name` (host bytes),
// else the reason; only called once something was found at that name.
std::optional<std::string> nameClashIn(int folderFd, const std::string& name);
#endif

} // namespace platform
