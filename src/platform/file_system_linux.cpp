#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/path.h"

namespace tb::platform {
namespace FileSystem {

Existence exists(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, S_ISDIR(st.st_mode)};
}

Result<ItemValues> values(const std::string& path) {
    struct statx sx{};
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_MTIME | STATX_SIZE |
                          STATX_BLOCKS | STATX_MNT_ID;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &sx) != 0) {
        return Error::posix(errno);
    }
    ItemValues v;
    v.identity = sx.stx_ino;
    v.totalAllocated = static_cast<std::int64_t>(sx.stx_blocks) * 512;
    v.size = static_cast<std::int64_t>(sx.stx_size);
    v.modified = Date::fromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    v.isDirectory = S_ISDIR(sx.stx_mode);
    v.isSymbolicLink = S_ISLNK(sx.stx_mode);
    v.isRegular = S_ISREG(sx.stx_mode);
    v.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    v.mountId = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    return v;
}

std::string resolved(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    return Path::standardized(path);
}

Result<std::vector<std::string>> listNames(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return Error::posix(errno);
    std::vector<std::string> names;
    errno = 0;
    while (dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        names.emplace_back(e->d_name);
    }
    const int err = errno;
    ::closedir(dir);
    if (err != 0) return Error::posix(err);
    return names;
}

} // namespace FileSystem

namespace SpecialFolders {

std::optional<std::string> home() {
    if (const char* h = std::getenv("HOME"); h && *h) return std::string(h);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) {
        return std::string(pw->pw_dir);
    }
    return std::nullopt;
}

std::optional<std::string> userData() {
    if (const char* d = std::getenv("XDG_DATA_HOME"); d && *d == '/') return std::string(d);
    if (auto h = home()) return Path::appending(*h, ".local/share");
    return std::nullopt;
}

std::string temporary() {
    if (const char* t = std::getenv("TMPDIR"); t && *t) return t;
    return "/tmp";
}

} // namespace SpecialFolders

int activeProcessorCount() {
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : static_cast<int>(n);
}

} // namespace tb::platform
