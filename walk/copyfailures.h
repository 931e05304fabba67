#pragma once

#include "text/codepage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace walk {

struct CopyFailure {
    std::string path;
    std::string reason;
    std::string hostText; // the host's own name (UTF-8) where `path` cannot show it
};

// The texts of a closing message, in the job's words.
struct FailureWords {
    const std::string& done;            // the plain completion text
    const std::string& filesBefore;     // before the number of files that failed
    const std::string& filesAfter;      // after it
    const std::string& foldersBefore;   // before the number of folders that failed
    const std::string& foldersAfter;    // after it
    const std::string& differingBefore; // before the number of files there already but different
    const std::string& differingAfter;  // after it
};

// What a copy pass could not copy: files, and folders whose contents are missing (a folder
// that could not be listed or made, or whose name has no form here), each with its reason; and
// files whose name was taken by another file (another size or time) that was left as it is.
// After the number of links passed over (see CopyFailures::addPassedLink).
extern const text::Text kPassedLinksAfter;

class CopyFailures {
public:
    static constexpr size_t kNamed = 5; // named in a closing message

    void add(std::string path, std::string reason);
    void addFolder(std::string path, std::string reason, std::string hostText = {});
    void addDiffering(std::string path);
    // A link Windows keeps for old programs, passed over: told, but no failure.
    void addPassedLink(std::string path);
    // The host's own name of the file that failed last, where its path cannot show it.
    void nameLastOnHost(std::string hostText);
    // Adds the files that failed or differed in `other`, after those here.
    void takeFiles(CopyFailures&& other);
    int64_t count() const { return static_cast<int64_t>(files_.size()); }
    int64_t folderCount() const { return static_cast<int64_t>(folders_.size()); }
    int64_t differingCount() const { return static_cast<int64_t>(differing_.size()); }
    // Whether anything at all was not copied as it is in the source.
    bool any() const { return !files_.empty() || !folders_.empty() || !differing_.empty(); }
    const std::vector<CopyFailure>& files() const { return files_; }
    const std::vector<CopyFailure>& folders() const { return folders_; }
    const std::vector<CopyFailure>& differing() const { return differing_; }
    const std::vector<CopyFailure>& passedLinks() const { return passedLinks_; }

    // The closing message: `done`, then for each kind that failed, before + the number + after
    // and the first few, one a line with its reason, "……" when there are more; last the links
    // passed over, in the same way.
    std::string describe(const FailureWords& words) const;
    // The same message as the host's text (UTF-8), with the host's own name in brackets beside
    // each path that cannot show it ("?"), so that the user can find that file or folder.
    std::string describeOnHost(const FailureWords& words) const;

private:
    std::vector<CopyFailure> files_;
    std::vector<CopyFailure> folders_;
    std::vector<CopyFailure> differing_;   // no reason: the kind says it
    std::vector<CopyFailure> passedLinks_; // the same
};

} // namespace walk
