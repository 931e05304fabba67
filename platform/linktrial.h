#pragma once

#include <atomic>
#include <mutex>
#include <optional>

namespace platform {

// Whether the destination's file system makes hard links, as one pass's copies find it out.
// Until a link is made or refused, links are tried one at a time, so a file system that makes
// none (FAT, many network shares) is asked once, however many copies run; once refused, no
// link is tried again in the pass. After the first link made, links are tried side by side.
class LinkTrial {
public:
    // Runs makeLink (it returns 0 or the error of the link) unless links were refused; nullopt
    // when it was not run. A template: it runs for every unchanged file.
    template <typename MakeLink> std::optional<int> attempt(MakeLink&& makeLink) {
        State known = state_.load();
        std::unique_lock<std::mutex> alone(first_, std::defer_lock);
        if (known == State::Untried) {
            alone.lock();
            known = state_.load(); // another copy may have found out meanwhile
        }
        if (known == State::Refused)
            return std::nullopt;
        int error = makeLink();
        if (known == State::Untried)
            learn(error);
        return error;
    }
    bool refused() const { return state_.load() == State::Refused; }
    // For the next pass, once every copy of the last one is done.
    void reset() { state_ = State::Untried; }

private:
    enum class State { Untried, Works, Refused };
    void learn(int error);
    std::atomic<State> state_{State::Untried};
    std::mutex first_; // held by the one link tried while the answer is not known
};

} // namespace platform
