// Plain values of the lister and the walk; free to pass between threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/date.h"

namespace tb {

struct RawEntry {
    std::string url; // the listed directory's path with the name appended
    std::string name;
    bool isDirectory = false;
    bool isMount = false; // only ever true for directories
    std::uint64_t inode = 0;
    Date modified = Date::distantPast();
    std::int64_t logicalSize = 0;   // 0 for directories
    std::int64_t allocatedSize = 0; // 0 for directories
    bool mayShareBlocks = false;    // logicalSize > allocatedSize > 0
    bool unreadable = false;        // always false from a lister
    // A file with several names is one (device, inode) however often listed.
    std::uint32_t linkCount = 1;
    std::uint64_t device = 0;
};

struct DirectoryListing {
    std::vector<RawEntry> entries; // in the order the file system returned them
    bool unreadable = false;       // then entries is empty
};

struct WalkProgress {
    std::int64_t visited = 0;
    std::int64_t unreadable = 0;
    std::int64_t scannedBytes = 0;
    std::string currentPath;

    bool operator==(const WalkProgress&) const = default;
};

} // namespace tb
