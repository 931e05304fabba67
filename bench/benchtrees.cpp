#include "benchtrees.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace bench {
namespace {

// A word and a number: appended, since GCC 12 at -O2 takes "literal" + string for an overlapping
// copy.
std::string numbered(std::string word, int number, const char* ending = "") {
    word += std::to_string(number);
    word += ending;
    return word;
}

void writeWhole(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void setTimes(const fs::path& path, const timespec (&times)[2]) {
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the times of " + path.string());
}

void writeBytes(const fs::path& path, size_t size, std::mt19937_64& random) {
    std::vector<uint64_t> block(1 << 17);
    std::ofstream out(path, std::ios::binary);
    for (size_t done = 0; done < size;) {
        for (uint64_t& word : block)
            word = random();
        size_t chunk = std::min(size - done, block.size() * sizeof(uint64_t));
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(chunk));
        done += chunk;
    }
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// Folders of `perFolder` files of `size` bytes, `folders` of them in groups of 20.
void makeFlat(const fs::path& root, int folders, int perFolder, size_t size, bool chinese,
              std::mt19937_64& random) {
    // 許, 功 and 蓋 end in 0x5C in Big5: a byte that is a backslash on its own.
    const std::string folderWord = chinese ? "許功資料夾" : "G";
    const std::string fileWord = chinese ? "蓋章檔案" : "file";
    for (int folder = 0; folder < folders; ++folder) {
        fs::path dir =
            root / numbered(chinese ? "群組" : "F", folder / 20) / numbered(folderWord, folder);
        fs::create_directories(dir);
        for (int file = 0; file < perFolder; ++file)
            writeBytes(dir / numbered(fileWord, file, ".dat"), size, random);
    }
}

// Nine levels: every folder holds 20 files of 4 KiB and, above the ninth level, two folders.
void makeDeep(const fs::path& folder, int level, std::mt19937_64& random) {
    fs::create_directories(folder);
    for (int file = 0; file < 20; ++file)
        writeBytes(folder / numbered("f", file), 4096, random);
    if (level < 9)
        for (const char* name : {"L", "R"})
            makeDeep(folder / name, level + 1, random);
}

} // namespace

std::vector<Tree> benchmarkTrees(bool large) {
    std::vector<Tree> trees = {
        {"Small", "20,000 x 4 KiB", 20000, 20000ull * 4096, true},
        {"Chinese", "5,000 x 4 KiB, Chinese names", 5000, 5000ull * 4096, true},
        {"Deep", "10,220 x 4 KiB, 9 levels", 511 * 20, 511ull * 20 * 4096, true},
        {"Large", "3 x 128 MiB", 3, 3ull << 27, false},
    };
    if (large)
        trees.push_back({"Many", "100,000 x 1 KiB", 100000, 100000ull * 1024, true});
    return trees;
}

void makeTree(const fs::path& source, const Tree& tree) {
    fs::path made = source / (tree.name + ".made");
    if (fs::exists(made))
        return;
    fs::path root = source / tree.name;
    fs::remove_all(root);
    std::mt19937_64 random(std::hash<std::string>{}(tree.name));
    if (tree.name == "Small")
        makeFlat(root, 400, 50, 4096, false, random);
    else if (tree.name == "Chinese")
        makeFlat(root, 100, 50, 4096, true, random);
    else if (tree.name == "Deep")
        makeDeep(root, 1, random);
    else if (tree.name == "Many")
        makeFlat(root, 1000, 100, 1024, false, random);
    else
        for (int file = 0; file < 3; ++file) {
            fs::create_directories(root);
            writeBytes(root / numbered("big", file, ".bin"), size_t{128} << 20, random);
        }
    std::ofstream(made) << "made\n";
}

ChangedFiles::ChangedFiles(const fs::path& root) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::mt19937_64 random(files.size());
    for (size_t i = 50; i < files.size(); i += 100) {
        const fs::path& path = files[i];
        struct stat before {};
        if (::stat(path.c_str(), &before) != 0)
            throw std::runtime_error("cannot read " + path.string());
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.eof() && !in)
            throw std::runtime_error("cannot read " + path.string());
        saved_.push_back({path, bytes, {before.st_atim, before.st_mtim}});
        std::string fresh = bytes;
        for (char& byte : fresh)
            byte = static_cast<char>(random());
        writeWhole(path, fresh);
        timespec later[2] = {before.st_atim, before.st_mtim};
        later[1].tv_sec += 24 * 60 * 60;
        setTimes(path, later);
        relative_.insert(fs::relative(path, root).string());
    }
}

ChangedFiles::~ChangedFiles() {
    try {
        undo();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "the changed files are not put back: %s\n", error.what());
    }
}

void ChangedFiles::undo() {
    for (const Saved& file : saved_) {
        writeWhole(file.path, file.bytes);
        setTimes(file.path, file.times);
    }
    saved_.clear();
}

} // namespace bench
