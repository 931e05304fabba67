#pragma once

#include <filesystem>
#include <string>

namespace bench {

// Checks that `copy` holds exactly the files and folders of `source`: the same names, sizes,
// permission bits and modification times, and the same contents in a sample (every 50th small
// file whole; of a large file its start, its end and chunks in between). Returns what differs
// first, or an empty text.
std::string compareTrees(const std::filesystem::path& source, const std::filesystem::path& copy);

// Reads every file below `folder` once, so that each tool starts with the source in the page
// cache alike.
void readOnce(const std::filesystem::path& folder);

} // namespace bench
