#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the backup's and the restore's passes have in common besides the walk.
namespace walk {

// What a dialog shows while a pass runs. Updates are merged (see JobChannel).
struct PassProgress {
    std::string sizeText;              // the size line
    int64_t fileTotal = 0;             // the progress bar's maximum
    std::optional<int64_t> position;   // the progress bar's position (copy pass)
    std::optional<std::string> status; // the status line (copy pass)

    // A status that was never shown stays the latest until another replaces it.
    void takeUnshown(PassProgress&& older) {
        if (!status)
            status = std::move(older.status);
    }
};

struct CopyFailure {
    std::string path;
    std::string reason;
};

// The files a copy pass could not copy: how many, and the first few by name.
class CopyFailures {
public:
    static constexpr size_t kNamed = 5;

    void Add(std::string path, std::string reason);
    int64_t Count() const { return count_; }
    const std::vector<CopyFailure>& Named() const { return named_; }

    // The closing message: `done`, and when files failed, before + their number + after and
    // the files, one a line.
    std::string Describe(const std::string& done, const std::string& before,
                         const std::string& after) const;

private:
    int64_t count_ = 0;
    std::vector<CopyFailure> named_;
};

// Copies one file of a copy pass without replacing anything; a failure other than a file that
// is there already is noted.
void CopyPassFile(const std::string& from, const std::string& to, CopyFailures& failures);

} // namespace walk
