#pragma once

#include <string>
#include <string_view>

// The temporary names under which this program writes files where a file system has no unnamed
// files, and the name a backup folder is moved aside to while it is removed; the same on every
// system. No walk lists either.
namespace platform {

// The hidden temporary name this program gives a file it writes on a file system without
// unnamed files: "." + name + ".tw" + process id + "-" + counter + ".tmp".
std::string stagingName(const std::string& name);

// The process that made a file of this (host or code page 950) name, when it is one of the
// program's temporary names; 0 otherwise.
long stagingOwner(std::string_view name);

// Whether the name is a temporary name whose program has gone (so the file is left over).
bool isStaleStagingName(std::string_view name);

// The name a backup folder takes while it is being removed: "." + name + ".tw-removing". A
// removal cut short leaves it, never a folder that looks like a whole backup.
std::string removingName(std::string_view name);

// Whether a folder's name (host or code page 950) is such a name.
bool isRemovingName(std::string_view name);

} // namespace platform
