#include "platform/deep_enumeration.h"

#include "platform/file_descriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/path.h"

namespace tb::platform {
namespace {

constexpr unsigned statxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
constexpr unsigned statxMask = STATX_TYPE | STATX_BLOCKS | STATX_MNT_ID;

struct MountOf {
    std::uint64_t mountId = 0;
    dev_t device = 0;
    bool hasMountId = false;
};

MountOf mountOf(const struct statx& sx) {
    MountOf m;
    m.hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
    m.mountId = sx.stx_mnt_id;
    m.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    return m;
}

bool sameMount(const MountOf& a, const MountOf& b) {
    if (a.hasMountId && b.hasMountId) return a.mountId == b.mountId;
    return a.device == b.device;
}

class Directory {
public:
    // O_NONBLOCK and O_DIRECTORY: never waits on, nor reads, anything but a folder.
    Directory(const std::string& path, bool followFinalLink) {
        int flags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC;
        if (!followFinalLink) flags |= O_NOFOLLOW;
        FileDescriptor fd(openRetrying(path, flags));
        if (!fd.valid()) return;
        dir_ = ::fdopendir(fd.get());
        if (dir_) fd.take(); // the DIR owns it now
    }
    ~Directory() {
        if (dir_) ::closedir(dir_);
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    DIR* get() const { return dir_; }

private:
    DIR* dir_ = nullptr;
};

} // namespace

namespace DeepEnumeration {

bool enumerate(const std::string& root, const std::function<bool(const EnumeratedItem&)>& visit,
               std::stop_token stop) {
    MountOf rootMount;
    {
        Directory top(root, true);
        if (!top.get()) return false;
        struct statx sx {};
        if (::statx(::dirfd(top.get()), "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) != 0) return false;
        rootMount = mountOf(sx);
    }

    std::vector<std::string> pending{Path::standardized(root)};
    std::vector<std::string> subfolders;
    bool first = true;
    while (!pending.empty()) {
        const std::string dirPath = std::move(pending.back());
        pending.pop_back();
        Directory dir(dirPath, first);
        first = false;
        if (!dir.get()) continue;
        const int dfd = ::dirfd(dir.get());

        subfolders.clear();
        while (dirent* e = ::readdir(dir.get())) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            if (stop.stop_requested()) return true;
            std::string path = Path::appending(dirPath, e->d_name);
            EnumeratedItem item;
            bool descend = false;
            struct statx sx {};
            if (::statx(dfd, e->d_name, statxFlags, statxMask, &sx) == 0) {
                item.isDirectory = S_ISDIR(sx.stx_mode);
                item.totalAllocated = static_cast<std::int64_t>(sx.stx_blocks) * 512;
                descend = item.isDirectory && sameMount(mountOf(sx), rootMount);
            }
            item.path = path;
            if (!visit(item)) return true;
            if (descend) subfolders.push_back(std::move(path));
        }
        // Reversed, so that the first subfolder is listed next.
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
            pending.push_back(std::move(*it));
        }
    }
    return true;
}

} // namespace DeepEnumeration

} // namespace tb::platform
