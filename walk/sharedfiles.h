#pragma once

#include "platform/folders.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace walk {

// Files of the walked tree that have several names there (hard links): the copy of the first
// name met is made as any other, and each later name is made a link to that copy, so that the
// copy has one file with the same names. Copies run on several threads: a later name waits for
// the first one's copy to be over. A record holds where the copy is below the copy's root, not
// a folder: a tree of many such files holds no descriptors for them.
class SharedFiles {
public:
    // The first name's copy: where it was made, once it is over.
    struct First {
        bool over = false;   // guarded by the map's mutex
        bool made = false;   // guarded by the map's mutex: the copy is there to link to
        std::string relPath; // its folder below the copy's root ("" or ending in "\")
        std::string name;
        uint64_t namesLeft = 0; // guarded by the map's mutex: later names still to come
    };

    // Before the copy of a name of a file with several (`names` in all, as the source tells).
    // The first name met gets the file's record with `first` set, and must settle() it once its
    // copy is over; a later name gets the same record, to wait on (copyOf). nullptr: the name is
    // copied as any file (too many such files are waited on already).
    std::shared_ptr<First> claim(platform::FileId file, uint64_t names, bool& first);
    // The first name's copy is over: made at relPath + name below the root, or not.
    void settle(First& record, bool made, const std::string& relPath, const std::string& name);
    // Waits for the first name's copy: false when there is none to link to.
    bool copyOf(First& record, std::string& relPath, std::string& name);

    void clear();

private:
    // Records at most (each a few names long): past it, a file's later names are copied.
    static constexpr size_t kMostRecords = 1 << 16;

    std::mutex mutex_;
    std::condition_variable settled_;
    std::map<platform::FileId, std::shared_ptr<First>> files_; // guarded by mutex_
};

} // namespace walk
