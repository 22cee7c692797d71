// The mounted file systems a user would call places for files, as a file
// manager's device list shows them: no kernel interfaces, no run-time memory
// folders, no container layers, no read-only application images, and each
// device once. Reading the list touches only procfs and /dev; the space
// figures of a network or FUSE mount are read with a time limit, on a thread
// that is abandoned when its server does not answer. Any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tb::platform {

struct MountedVolume {
    std::string point;  // unescaped, absolute
    std::string type;   // "ext4", "nfs4", "fuse.sshfs", ...
    std::string source; // "/dev/sda2", "server:/export", ...
    std::string device; // "major:minor"
    std::string root;   // the folder of the file system mounted there ("/" unless bound)
    bool readOnly = false;
    std::optional<std::string> label;
    bool operator==(const MountedVolume&) const = default;
};

// The lines of a mountinfo file (proc(5)); malformed lines are skipped and at
// most `limit` are read.
std::vector<MountedVolume> parseMountInfo(std::string_view text, std::size_t limit = 100'000);

// Whether a user expects to see this mount among the volumes.
bool isUserVolume(const MountedVolume& volume);

// The user's volumes of a parsed table, in its order: a device mounted at
// several points once, at its own root and the shortest point.
std::vector<MountedVolume> userVolumes(std::vector<MountedVolume> all);

// userVolumes of this process's mount table, labels read from
// /dev/disk/by-label.
std::vector<MountedVolume> mountedVolumes();

struct SpaceFigures {
    std::int64_t capacity = 0;
    std::int64_t used = 0;
    std::int64_t available = 0; // to an unprivileged user
    bool operator==(const SpaceFigures&) const = default;
};

// statvfs of the mount point. For a network or FUSE type it runs on its own
// thread and gives up after `limit` (an error saying the volume did not
// answer); the thread is left to finish or hang, and the same point is not
// asked again while it does.
Result<SpaceFigures> readSpace(const std::string& point, std::string_view type,
                               std::chrono::milliseconds limit = std::chrono::seconds(2));

} // namespace tb::platform
