#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace walk {

// What a dialog shows while a pass runs. Updates are merged (see JobChannel).
struct PassProgress {
    std::string sizeText;              // the size line
    int64_t fileTotal = 0;             // the progress bar's maximum
    std::optional<int64_t> position;   // the progress bar's position (copy pass)
    uint64_t bytesCopied = 0;          // copy pass
    std::optional<std::string> status; // the status line (copy pass)

    // A status that was never shown stays the latest until another replaces it.
    void takeUnshown(PassProgress&& older) {
        if (!status)
            status = std::move(older.status);
    }
};

} // namespace walk
