#pragma once

#include <string>
#include <string_view>

// A test-only seam: makes a named host operation fail as the system would, so that the suite can
// reach failures that a privileged test cannot provoke (a folder it may not list, a disk that
// refuses a folder). Unarmed, a check costs one atomic load.
namespace platform::faults {

// From now on, the operation fails with `error` for every name or path that ends in `suffix`.
// Operations: "mkdir" (making a folder), "opendir" (listing a folder), "tmpfile" (an unnamed
// file; EOPNOTSUPP makes the copy use hidden temporary names as on FAT).
void failAt(std::string operation, std::string suffix, int error);
void clear();

// The error the operation must fail with for this name or path, or 0.
int injected(std::string_view operation, std::string_view nameOrPath);

} // namespace platform::faults
