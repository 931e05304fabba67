#pragma once

#include "faults/faults.h"
#include "files.h"
#include "hosterror.h"
#include "process.h"

#include <optional>
#include <string_view>

// The frame of a write of the program's own files, which each backend fills with its own system
// calls: every call is a named step of the fault seam, the first that fails ends the write, and
// the write is staged whole before it is put at its name.
namespace platform {

// The steps of one write, in the order the backend runs them.
class StoreSteps {
public:
    WriteResult result() const {
        return error_ == 0 ? WriteResult{true, {}} : WriteResult{false, reasonForError(error_)};
    }

protected:
    // One system call, with the fault seam's step before it and after it; none once a step has
    // failed. The call returns 0 or an errno value.
    template <typename Call> void run(std::string_view name, Call call) {
        if (error_ != 0)
            return;
        if ((error_ = faults::storeStepBefore(name)) != 0)
            return;
        error_ = call();
        faults::storeStepAfter();
    }
    bool ok() const { return error_ == 0; }

    int error_ = 0; // the first failure, an errno value
};

// Writes a file whole: Write (the backend's StoreSteps, made from the host path) stages the
// contents beside the target and flushes them, then publishes them at the target's name, in place
// of what was there or (not replace) only where nothing is. The program's end waits for the
// write, so that no temporary file outlives it.
template <typename Write, typename HostPath>
WriteResult writeWhole(const std::optional<HostPath>& host, std::string_view contents,
                       bool replace) {
    if (!host)
        return {false, unusableNameReason()};
    ExitBlocker wholeOrNothing;
    Write write(*host);
    write.stage(contents);
    write.publish(replace);
    return write.result();
}

} // namespace platform
