#include "sharedfiles.h"

namespace walk {

std::shared_ptr<SharedFiles::First> SharedFiles::claim(platform::FileId file, uint64_t names,
                                                       bool& first) {
    std::lock_guard lock(mutex_);
    auto found = files_.find(file);
    if (found == files_.end()) {
        first = true;
        if (files_.size() >= kMostRecords)
            return nullptr;
        auto record = std::make_shared<First>();
        record->namesLeft = names - 1;
        files_.emplace(file, record);
        return record;
    }
    first = false;
    std::shared_ptr<First> record = found->second;
    // Once every other name has come, the record leaves the map; the names that wait on it
    // hold it.
    if (--record->namesLeft == 0)
        files_.erase(found);
    return record;
}

void SharedFiles::settle(First& record, bool made, const std::string& relPath,
                         const std::string& name) {
    {
        std::lock_guard lock(mutex_);
        record.over = true;
        record.made = made;
        record.relPath = relPath;
        record.name = name;
    }
    settled_.notify_all();
}

bool SharedFiles::copyOf(First& record, std::string& relPath, std::string& name) {
    std::unique_lock lock(mutex_);
    settled_.wait(lock, [&] { return record.over; });
    relPath = record.relPath;
    name = record.name;
    return record.made;
}

void SharedFiles::clear() {
    std::lock_guard lock(mutex_);
    files_.clear();
}

} // namespace walk
