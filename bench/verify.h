#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

namespace bench {

// Checks that `copy` holds exactly the files and folders of `source`: the same names, sizes,
// permission bits and modification times, and the same contents in a sample (every 50th small
// file whole; of a large file its start, its end and chunks in between). Returns what differs
// first, or an empty text.
std::string compareTrees(const std::filesystem::path& source, const std::filesystem::path& copy);

// How a next day's backup holds the files: links to the first day's where unchanged, copies
// where changed.
struct NextDay {
    std::string differs; // the first file that differs, or empty
    int64_t unchanged = 0, unchangedLinked = 0;
    int64_t changed = 0, changedCopied = 0;
};

// Checks the next day's backup `day2` of `source` beside the first day's `day1`: the same files
// and folders as the source, every file equal to it byte for byte (with its size, permission bits
// and modification time), and the first day's copy of a file named in `changed` (paths relative
// to `source`) still with its earlier time. Counts which files are the first day's file itself
// (the same inode) and which copies of their own.
NextDay compareNextDay(const std::filesystem::path& source, const std::filesystem::path& day1,
                       const std::filesystem::path& day2, const std::set<std::string>& changed);

// Checks a copy on a FAT file system: the same names as the source and every file equal to it
// byte for byte (FAT keeps no permission bits). Counts in `timesOff` the files whose modification
// time is not the source's within FAT's two seconds (a FUSE driver may keep none). Returns what
// differs first, or an empty text.
std::string compareFatCopy(const std::filesystem::path& source, const std::filesystem::path& copy,
                           int64_t& timesOff);

// Reads every file below `folder` once, so that each tool starts with the source in the page
// cache alike.
void readOnce(const std::filesystem::path& folder);

} // namespace bench
