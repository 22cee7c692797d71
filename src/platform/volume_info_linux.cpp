#include "platform/volume_info.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tb::platform {
namespace {

// mountinfo escapes space, tab, newline and backslash as octal (proc(5)).
std::string unescapeOctal(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() + 0 && i + 3 <= s.size()) {
            const std::string oct = s.substr(i + 1, 3);
            char* end = nullptr;
            const long v = std::strtol(oct.c_str(), &end, 8);
            if (end && *end == '\0') {
                out.push_back(char(v));
                i += 3;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

// udev escapes unsafe bytes in by-label names as \xHH.
std::string unescapeHex(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() + 1 && s[i + 1] == 'x' && i + 3 < s.size()) {
            const long v = std::strtol(s.substr(i + 2, 2).c_str(), nullptr, 16);
            out.push_back(char(v));
            i += 3;
            continue;
        }
        out.push_back(s[i]);
    }
    return out;
}

std::string resolved(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    return path;
}

bool inside(const std::string& path, const std::string& mount) {
    if (mount == "/") return true;
    return path == mount ||
           (path.size() > mount.size() && path.compare(0, mount.size(), mount) == 0 &&
            path[mount.size()] == '/');
}

} // namespace

namespace {

struct Mount {
    std::string point;
    std::string source;
};

// The deepest mount that holds `path`, from /proc/self/mountinfo.
std::optional<Mount> mountHolding(const std::string& path) {
    const std::string real = resolved(path);
    std::ifstream info("/proc/self/mountinfo");
    std::string line, bestMount, bestSource;
    while (std::getline(info, line)) {
        std::istringstream fields(line);
        std::string id, parent, devno, root, mountPoint;
        fields >> id >> parent >> devno >> root >> mountPoint;
        mountPoint = unescapeOctal(mountPoint);
        std::string field;
        while (fields >> field && field != "-") {}
        std::string fsType, source;
        fields >> fsType >> source;
        if (inside(real, mountPoint) && mountPoint.size() >= bestMount.size()) {
            bestMount = mountPoint;
            bestSource = unescapeOctal(source);
        }
    }
    if (bestMount.empty()) return std::nullopt;
    return Mount{bestMount, bestSource};
}

} // namespace

std::vector<MountEntry> mounts() {
    std::vector<MountEntry> out;
    std::ifstream info("/proc/self/mountinfo");
    std::string line;
    // A namespace with more mounts than this is not one to walk across.
    constexpr std::size_t kMaxMounts = 100'000;
    while (out.size() < kMaxMounts && std::getline(info, line)) {
        std::istringstream fields(line);
        std::string id, parent, devno, root, point;
        fields >> id >> parent >> devno >> root >> point;
        std::string field;
        while (fields >> field && field != "-") {}
        std::string type;
        fields >> type;
        if (point.empty() || type.empty()) continue;
        out.push_back({unescapeOctal(point), type});
    }
    return out;
}

std::optional<MountEntry> mountAt(const std::string& path) {
    const std::string real = resolved(path);
    std::optional<MountEntry> found;
    // The last line for a point is the mount on top.
    for (MountEntry& m : mounts()) {
        if (m.point == real) found = std::move(m);
    }
    return found;
}

bool isRemoteOrFuse(std::string_view type) {
    if (type.starts_with("fuse")) return true; // fuse, fuseblk, fuse.sshfs, fuse.*
    for (std::string_view t : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p", "ceph",
                               "glusterfs", "lustre", "davfs", "sshfs", "coda"}) {
        if (type == t) return true;
    }
    return false;
}

std::optional<std::string> mountPoint(const std::string& path) {
    if (auto m = mountHolding(path)) return m->point;
    return std::nullopt;
}

std::optional<std::string> volumeLabel(const std::string& path) {
    const auto mount = mountHolding(path);
    if (!mount || mount->source.empty() || mount->source.front() != '/') return std::nullopt;
    const std::string device = resolved(mount->source);
    DIR* dir = ::opendir("/dev/disk/by-label");
    if (!dir) return std::nullopt;
    std::optional<std::string> label;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (resolved("/dev/disk/by-label/" + name) == device) {
            label = unescapeHex(name);
            break;
        }
    }
    ::closedir(dir);
    return label;
}

Result<VolumeFigures> readVolumeFigures(const std::string& path) {
    struct statvfs sv {};
    if (::statvfs(path.c_str(), &sv) != 0) return Error::posix(errno, path);
    VolumeFigures f;
    const auto unit = static_cast<std::int64_t>(sv.f_frsize ? sv.f_frsize : sv.f_bsize);
    f.capacity = static_cast<std::int64_t>(sv.f_blocks) * unit;
    f.available = static_cast<std::int64_t>(sv.f_bavail) * unit;
    f.availableImportant = f.available;
    f.availableOpportunistic = f.available;
    // Blocks only root may fill (5 % of an ext4 volume unless tuned).
    if (sv.f_bfree > sv.f_bavail) {
        f.reserved = static_cast<std::int64_t>(sv.f_bfree - sv.f_bavail) * unit;
    }
    f.name = volumeLabel(path);
    f.mountPoint = mountPoint(path);
    return f;
}

} // namespace tb::platform
