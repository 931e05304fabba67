#pragma once

#include "sizetext.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace walk {

// A job's values, set by the user-interface thread and taken whole by the worker when a pass
// begins.
template <typename T> class Guarded {
public:
    void set(const T& value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }
    T get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

private:
    mutable std::mutex mutex_;
    T value_; // guarded by mutex_
};

// What a count pass adds up; the worker writes it, anyone may read it.
class PassCounts {
public:
    void reset() {
        bytes_ = 0;
        files_ = 0;
    }
    void addFile(uint64_t size) {
        bytes_ += size;
        ++files_;
    }
    uint64_t bytes() const { return bytes_.load(); }
    int64_t files() const { return files_.load(); }
    std::string sizeText() const { return walk::sizeText(bytes_, files_); }

private:
    std::atomic<uint64_t> bytes_{0};
    std::atomic<int64_t> files_{0};
};

} // namespace walk
