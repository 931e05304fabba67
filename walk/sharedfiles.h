#pragma once

#include "platform/folders.h"
#include "platform/targetfolder.h"

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
// the first one's copy to be over.
class SharedFiles {
public:
    // The first name's copy: where it was made, once it is over.
    struct First;

    // Before the copy of a name of a file with several (`names` in all, as the source tells).
    // The first name met gets the file's record with `first` set, and must settle() it once its
    // copy is over; a later name gets the same record, to wait on (copyOf). nullptr: the name is
    // copied as any file (too many such files are waited on already).
    std::shared_ptr<First> claim(platform::FileId file, uint64_t names, bool& first);
    // The first name's copy is over: made at `name` in `folder`, or not (folder nullptr).
    void settle(First& record, std::shared_ptr<const platform::TargetFolder> folder,
                const std::string& name);
    // Waits for the first name's copy: its folder (nullptr when there is none to link to) and
    // name.
    std::shared_ptr<const platform::TargetFolder> copyOf(First& record, std::string& name);

    void clear();

private:
    // Folders held for later names at most: past it, a file's later names are copied, so that
    // a tree of many such files cannot take every descriptor.
    static constexpr size_t kMostHeld = 256;

    std::mutex mutex_;
    std::condition_variable settled_;
    std::map<platform::FileId, std::shared_ptr<First>> files_; // guarded by mutex_
};

struct SharedFiles::First {
    bool over = false;                                    // guarded by the map's mutex
    std::shared_ptr<const platform::TargetFolder> folder; // guarded by the map's mutex
    std::string name;                                     // guarded by the map's mutex
    uint64_t namesLeft = 0; // guarded by the map's mutex: later names still to come
};

} // namespace walk
