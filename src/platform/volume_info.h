// Figures of the volume that holds a location. Any thread; no state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tb::platform {

struct VolumeFigures {
    std::optional<std::string> name; // the file system's label, when it has one
    std::optional<std::int64_t> capacity;
    std::optional<std::int64_t> available;
    // Linux keeps no separate figures for these: both are the space available
    // to an unprivileged user.
    std::optional<std::int64_t> availableImportant;
    std::optional<std::int64_t> availableOpportunistic;
    std::optional<std::int64_t> reserved;  // free blocks kept for root
    std::optional<std::string> mountPoint; // where the volume is mounted
};

Result<VolumeFigures> readVolumeFigures(const std::string& path);

// The mount point of the file system that holds `path`.
std::optional<std::string> mountPoint(const std::string& path);
// The label of the file system mounted at the mount point holding `path`.
std::optional<std::string> volumeLabel(const std::string& path);

// One line of the mount table: read from procfs, it never waits on the
// mounted file system, so it is safe even when a network server hangs.
struct MountEntry {
    std::string point; // unescaped, absolute
    std::string type;  // "ext4", "nfs4", "fuse.sshfs", ...
};
std::vector<MountEntry> mounts();
// The mount whose point is exactly `path` (links in `path` resolved first).
std::optional<MountEntry> mountAt(const std::string& path);
// Network and FUSE file systems: entered only when the user asks, as a
// server that stops answering blocks every read.
bool isRemoteOrFuse(std::string_view type);

} // namespace tb::platform
