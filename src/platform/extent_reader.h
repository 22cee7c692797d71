// Whether a file shares blocks with another file (reflink copies on btrfs
// and XFS, btrfs snapshots) and whether it has holes. Asked lazily for one
// item at a time (the selected node, a duplicate candidate), never during a
// walk. Any thread; no state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tb::platform {

class ExtentReader {
public:
    virtual ~ExtentReader() = default;
    // True when any extent of the regular file at `path` is shared; none
    // when the file cannot be opened or the file system cannot tell (ext4
    // answers, and never shares).
    virtual std::optional<bool> hasSharedExtents(const std::string& path) const = 0;
    // The physical address of the file's first extent when that extent is
    // shared: two files with the same one are copies sharing their blocks.
    virtual std::optional<std::uint64_t> firstSharedExtent(const std::string& path) const = 0;
    // True when the regular file at `path` has a hole before its end; none
    // when it cannot be opened. Tells a sparse file from a compressed one
    // (ZFS, for one, counts compressed blocks): both occupy fewer blocks
    // than their size.
    virtual std::optional<bool> hasHoles(const std::string& path) const = 0;
};

// FS_IOC_FIEMAP on the real system.
const ExtentReader& systemExtentReader();

} // namespace tb::platform
