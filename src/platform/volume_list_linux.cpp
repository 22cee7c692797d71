#include "platform/volume_list.h"

#include <sys/statvfs.h>

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "platform/volume_info.h"

namespace tb::platform {
namespace {

// mountinfo escapes space, tab, newline and backslash as three octal digits.
std::string unescaped(std::string_view s) {
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && octal(s[i + 1]) && octal(s[i + 2]) &&
            octal(s[i + 3]) && s[i + 1] <= '3') {
            out.push_back(char((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(s[i]);
    }
    return out;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

bool under(std::string_view path, std::string_view folder) {
    return path == folder ||
           (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/');
}

// Kernel interfaces and other file systems that hold no one's files.
bool isPseudoType(std::string_view type) {
    static const std::set<std::string_view> pseudo = {"proc",
                                                      "sysfs",
                                                      "cgroup",
                                                      "cgroup2",
                                                      "devpts",
                                                      "devtmpfs",
                                                      "securityfs",
                                                      "pstore",
                                                      "bpf",
                                                      "tracefs",
                                                      "debugfs",
                                                      "configfs",
                                                      "fusectl",
                                                      "mqueue",
                                                      "hugetlbfs",
                                                      "autofs",
                                                      "binfmt_misc",
                                                      "rpc_pipefs",
                                                      "nsfs",
                                                      "efivarfs",
                                                      "selinuxfs",
                                                      "ramfs",
                                                      "nfsd",
                                                      "overlayfs_meta",
                                                      "fuse.gvfsd-fuse",
                                                      "fuse.portal",
                                                      "fuse.lxcfs",
                                                      "fuse.snapfuse",
                                                      "devfs",
                                                      "usbfs",
                                                      "binder",
                                                      "rootfs"};
    return pseudo.contains(type);
}

std::string resolvedPath(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    return path;
}

// Points whose figures are being read on an abandoned thread.
std::mutex hangingLock;
std::set<std::string>& hanging() {
    static std::set<std::string> points;
    return points;
}

Result<SpaceFigures> statSpace(const std::string& point) {
    struct statvfs sv {};
    if (::statvfs(point.c_str(), &sv) != 0) return Error::posix(errno, point);
    const auto unit = static_cast<std::int64_t>(sv.f_frsize ? sv.f_frsize : sv.f_bsize);
    SpaceFigures f;
    f.capacity = static_cast<std::int64_t>(sv.f_blocks) * unit;
    f.available = static_cast<std::int64_t>(sv.f_bavail) * unit;
    f.used = std::max<std::int64_t>(0, f.capacity - static_cast<std::int64_t>(sv.f_bfree) * unit);
    return f;
}

} // namespace

std::vector<MountedVolume> parseMountInfo(std::string_view text, std::size_t limit) {
    std::vector<MountedVolume> out;
    while (!text.empty() && out.size() < limit) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // id parent major:minor root point options [optional...] - type source super
        const auto w = words(line);
        if (w.size() < 10) continue;
        const auto dash = std::find(w.begin() + 6, w.end(), std::string_view("-"));
        if (dash == w.end() || std::distance(dash, w.end()) < 3) continue;
        MountedVolume v;
        v.device = std::string(w[2]);
        v.root = unescaped(w[3]);
        v.point = unescaped(w[4]);
        if (v.point.empty() || v.point.front() != '/') continue;
        const std::string_view options = w[5];
        v.readOnly = options == "ro" || options.starts_with("ro,");
        v.type = unescaped(dash[1]);
        v.source = unescaped(dash[2]);
        out.push_back(std::move(v));
    }
    return out;
}

bool isUserVolume(const MountedVolume& v) {
    const std::string_view point = v.point;
    const std::string_view type = v.type;
    if (isPseudoType(type)) return false;
    // Memory folders: /tmp is the one a user fills.
    if (type == "tmpfs") return point == "/tmp";
    // Removable media mount below /run/media; the rest of /run, and the
    // kernel's trees, are the system's own.
    if (under(point, "/run") && !under(point, "/run/media")) return false;
    for (std::string_view system : {"/proc", "/sys", "/dev", "/etc"}) {
        if (under(point, system)) return false;
    }
    // Container layers and snap images: parts of something else.
    for (std::string_view layers :
         {"/var/lib/docker", "/var/lib/containers", "/var/snap", "/snap", "/var/lib/snapd"}) {
        if (under(point, layers)) return false;
    }
    if (type == "squashfs" || type == "iso9660")
        return under(point, "/media") || under(point, "/run/media") || under(point, "/mnt");
    return true;
}

std::vector<MountedVolume> userVolumes(std::vector<MountedVolume> all) {
    // The last mount at a point hides the ones under it.
    std::map<std::string, std::size_t> topAt;
    for (std::size_t i = 0; i < all.size(); ++i)
        topAt[all[i].point] = i;
    // One row per device: its own root before a bound folder, then the
    // shortest point.
    std::map<std::string, std::size_t> best;
    auto better = [&](std::size_t a, std::size_t b) {
        const bool aRoot = all[a].root == "/", bRoot = all[b].root == "/";
        if (aRoot != bRoot) return aRoot;
        return all[a].point.size() < all[b].point.size();
    };
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (topAt[all[i].point] != i || !isUserVolume(all[i])) continue;
        // Network shares have no device number worth grouping by.
        const std::string key = all[i].device == "0:0" || all[i].device.starts_with("0:")
                                    ? all[i].device + "\n" + all[i].source + "\n" + all[i].root
                                    : all[i].device;
        auto [it, added] = best.emplace(key, i);
        if (!added && better(i, it->second)) it->second = i;
    }
    std::vector<std::size_t> kept;
    for (const auto& [key, i] : best)
        kept.push_back(i);
    std::sort(kept.begin(), kept.end());
    std::vector<MountedVolume> out;
    for (std::size_t i : kept)
        out.push_back(std::move(all[i]));
    return out;
}

std::vector<MountedVolume> mountedVolumes() {
    std::ifstream info("/proc/self/mountinfo");
    // A table is a few hundred lines; far more is not one to list.
    constexpr std::size_t kMaxBytes = 16 << 20;
    std::string text;
    char chunk[16384];
    while (text.size() < kMaxBytes && info.read(chunk, sizeof chunk).gcount() > 0)
        text.append(chunk, std::size_t(info.gcount()));
    auto volumes = userVolumes(parseMountInfo(text));
    // Labels by device node: only local /dev names are resolved.
    std::map<std::string, std::string> labels;
    if (DIR* dir = ::opendir("/dev/disk/by-label")) {
        while (dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            const std::string device = resolvedPath("/dev/disk/by-label/" + name);
            // udev escapes unsafe bytes as \xHH.
            std::string label;
            for (std::size_t i = 0; i < name.size(); ++i) {
                if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
                    label.push_back(char(std::strtol(name.substr(i + 2, 2).c_str(), nullptr, 16)));
                    i += 3;
                } else {
                    label.push_back(name[i]);
                }
            }
            labels.emplace(device, label);
        }
        ::closedir(dir);
    }
    for (MountedVolume& v : volumes) {
        if (!v.source.starts_with("/dev/")) continue;
        if (auto it = labels.find(resolvedPath(v.source)); it != labels.end()) v.label = it->second;
    }
    return volumes;
}

Result<SpaceFigures> readSpace(const std::string& point, std::string_view type,
                               std::chrono::milliseconds limit) {
    if (!isRemoteOrFuse(type)) return statSpace(point);
    {
        std::lock_guard lock(hangingLock);
        if (hanging().contains(point)) {
            return Error{"Volumes", 1, "Still waiting for " + point + " to answer."};
        }
        hanging().insert(point);
    }
    auto result = std::make_shared<std::promise<Result<SpaceFigures>>>();
    auto future = result->get_future();
    try {
        std::thread([point, result] {
            auto figures = statSpace(point);
            {
                std::lock_guard lock(hangingLock);
                hanging().erase(point);
            }
            result->set_value(std::move(figures));
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(hangingLock);
        hanging().erase(point);
        return Error{"Volumes", 2, "No thread was free to read " + point + "."};
    }
    if (future.wait_for(limit) != std::future_status::ready) {
        return Error{"Volumes", 1, point + " did not answer."};
    }
    return future.get();
}

} // namespace tb::platform
