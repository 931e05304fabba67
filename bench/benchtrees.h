#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

// The trees the benchmark copies, made once in the work folder and kept for later runs.
namespace bench {

struct Tree {
    std::string name;      // the folder's name below the source drive (ASCII)
    std::string label;     // what the report calls it
    int64_t files = 0;     // regular files in it
    uint64_t bytes = 0;    // their sizes added up
    bool manyFiles = true; // a tree of many small files, where listing costs count
};

// The trees of a run: 20,000 files of 4 KiB in 400 folders; 5,000 with Chinese names (some
// with a 0x5C trail byte in Big5); a tree nine levels deep; three files of 128 MiB; and with
// `large` 100,000 files of 1 KiB.
std::vector<Tree> benchmarkTrees(bool large);

// Makes the tree below `source` unless it is there already.
void makeTree(const std::filesystem::path& source, const Tree& tree);

// One file in a hundred of a tree (every hundredth in name order) rewritten for the next day:
// new contents of the same size and a modification time a day later. undo() puts the contents
// and times back, so that the tree is again as it was made.
class ChangedFiles {
public:
    explicit ChangedFiles(const std::filesystem::path& root);
    ChangedFiles(const ChangedFiles&) = delete;
    ChangedFiles& operator=(const ChangedFiles&) = delete;
    ~ChangedFiles();

    // The changed files' paths relative to the root.
    const std::set<std::string>& relative() const { return relative_; }
    void undo();

private:
    struct Saved {
        std::filesystem::path path;
        std::string bytes;
        timespec times[2]; // access and modification
    };
    std::vector<Saved> saved_;
    std::set<std::string> relative_;
};

} // namespace bench
