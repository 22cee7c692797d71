#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>

#include "base/path.h"
#include "base/uuid.h"

namespace tb::platform {
namespace FileSystem {

Existence exists(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, S_ISDIR(st.st_mode)};
}

std::uint64_t deviceNumber(std::uint32_t major, std::uint32_t minor) {
    return makedev(major, minor);
}

Result<ItemValues> values(const std::string& path) {
    struct statx sx {};
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

Status openableFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Error::posix(errno);
    ::close(fd);
    return Ok{};
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf)) return path;
    return path.empty() ? std::string(buf) : Path::appending(buf, path);
}

Result<RegularFile> openRegular(const std::string& path, FinalLink link) {
    RegularFile f;
    const int noFollow = link == FinalLink::refuse ? O_NOFOLLOW : 0;
    f.fd.reset(openRetrying(path, O_RDONLY | O_NONBLOCK | noFollow | O_CLOEXEC));
    if (!f.fd.valid()) return Error::posix(errno, path);
    struct stat st {};
    if (::fstat(f.fd.get(), &st) != 0) return Error::posix(errno, path);
    if (!S_ISREG(st.st_mode)) return Error::posix(S_ISDIR(st.st_mode) ? EISDIR : ENXIO, path);
    f.size = st.st_size;
    return f;
}

Result<std::string> readHead(const std::string& path, std::size_t maxBytes) {
    auto file = openRegular(path);
    if (!file) return file.error();
    std::string bytes(std::min<std::size_t>(maxBytes, 1 << 20), '\0');
    std::size_t have = 0;
    while (have < maxBytes) {
        if (have == bytes.size()) bytes.resize(std::min(maxBytes, bytes.size() * 2));
        const ssize_t n = readRetrying(file->fd.get(), bytes.data() + have, bytes.size() - have);
        if (n < 0) return Error::posix(errno, path);
        if (n == 0) break;
        have += static_cast<std::size_t>(n);
    }
    bytes.resize(have);
    return bytes;
}

Result<std::string> readWhole(const std::string& path, std::size_t maxBytes) {
    auto file = openRegular(path);
    if (!file) return file.error();
    if (file->size > 0 && std::uint64_t(file->size) > maxBytes) return Error::posix(EFBIG, path);
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = readRetrying(file->fd.get(), buf, sizeof buf);
        if (n < 0) return Error::posix(errno, path);
        if (n == 0) return out;
        out.append(buf, static_cast<std::size_t>(n));
        // The size said at the open may have grown since.
        if (out.size() > maxBytes) return Error::posix(EFBIG, path);
    }
}

Status makePrivateDirectories(const std::string& path) {
    const std::string full = absolute(path);
    for (std::size_t end = 1; end <= full.size(); ++end) {
        if (end < full.size() && full[end] != '/') continue;
        const std::string prefix = full.substr(0, end);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return Error::posix(errno, prefix);
        }
    }
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0) return Error::posix(errno, full);
    if (!S_ISDIR(st.st_mode)) return Error::posix(ENOTDIR, full);
    return okStatus();
}

Result<FileDescriptor> createLocked(const std::string& path) {
    FileDescriptor fd(openRetrying(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) return Error::posix(errno, path);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return Error::posix(errno, path);
    // Someone who cleans up stale files may have locked and removed the name
    // between our create and our lock: then the lock is on an orphan.
    struct stat mine {
    }, named{};
    if (::fstat(fd.get(), &mine) != 0 || ::lstat(path.c_str(), &named) != 0 ||
        mine.st_ino != named.st_ino || mine.st_dev != named.st_dev) {
        return Error::posix(EAGAIN, path);
    }
    return fd;
}

Result<FileDescriptor> tryLock(const std::string& path) {
    auto file = openRegular(path);
    if (!file) return file.error();
    if (::flock(file->fd.get(), LOCK_EX | LOCK_NB) != 0) return Error::posix(errno, path);
    return std::move(file->fd);
}

Result<FileDescriptor> createLockedFolder(std::string& pattern) {
    const std::string original = pattern;
    constexpr int kAttempts = 5;
    for (int attempt = 0;; ++attempt) {
        pattern = original;
        if (::mkdtemp(pattern.data()) == nullptr) return Error::posix(errno, original);
        FileDescriptor fd(openRetrying(pattern, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid()) return Error::posix(errno, pattern);
        // A cleaner may have locked and removed the new folder before our
        // lock: then the name is gone (or the lock is still its) and we
        // start over under another name.
        struct stat mine {
        }, named{};
        const bool locked = ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0;
        if (locked && ::fstat(fd.get(), &mine) == 0 && mine.st_nlink > 0 &&
            ::lstat(pattern.c_str(), &named) == 0 && mine.st_ino == named.st_ino &&
            mine.st_dev == named.st_dev) {
            return fd;
        }
        if (attempt + 1 == kAttempts) return Error::posix(EAGAIN, pattern);
    }
}

Result<FileDescriptor> tryLockFolder(const std::string& path) {
    FileDescriptor fd(openRetrying(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) return Error::posix(errno, path);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return Error::posix(errno, path);
    return fd;
}

Status removeRegularFileIn(const std::string& folder, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        return Error::posix(EINVAL, name);
    }
    FileDescriptor dir(openRetrying(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.valid()) return Error::posix(errno, folder);
    struct stat st {};
    if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Error::posix(errno, name);
    }
    if (S_ISLNK(st.st_mode)) return Error::posix(ELOOP, name);
    if (!S_ISREG(st.st_mode)) return Error::posix(EPERM, name);
    if (::unlinkat(dir.get(), name.c_str(), 0) != 0) return Error::posix(errno, name);
    return okStatus();
}

Result<FileDescriptor> waitForLock(const std::string& path, std::chrono::milliseconds patience) {
    // Made exclusively, or else the one another holder made: never through a
    // link, and a FIFO planted there neither blocks the open nor passes the
    // check below. A lock removed between the two opens is made again.
    constexpr int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    FileDescriptor fd;
    for (int attempt = 0; attempt < 3 && !fd.valid(); ++attempt) {
        fd.reset(openRetrying(path, flags | O_CREAT | O_EXCL, 0600));
        if (!fd.valid() && errno == EEXIST) fd.reset(openRetrying(path, flags));
        if (!fd.valid() && errno != ENOENT) break;
    }
    if (!fd.valid()) return Error::posix(errno, path);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return Error::posix(errno, path);
    if (!S_ISREG(st.st_mode)) return Error::posix(ENXIO, path);
    // Polled rather than blocking: a holder that hangs must not hold us forever.
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return Error::posix(errno, path);
        if (std::chrono::steady_clock::now() >= giveUp) return Error::posix(EWOULDBLOCK, path);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return fd;
}

Status replaceContents(const std::string& path, std::string_view contents) {
    std::string temporary;
    FileDescriptor fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temporary = path + ".new-" + Uuid::random().toString();
        fd.reset(
            openRetrying(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid() && errno != EEXIST) return Error::posix(errno, temporary);
    }
    if (!fd.valid()) return Error::posix(EEXIST, temporary);
    Status written = writeAll(fd.get(), contents);
    if (written) written = syncAndRename(fd, temporary, path);
    if (!written) ::unlink(temporary.c_str());
    return written;
}

Status syncAndRename(const FileDescriptor& file, const std::string& from, const std::string& to) {
    if (::fsync(file.get()) != 0) return Error::posix(errno, from);
    if (::rename(from.c_str(), to.c_str()) != 0) return Error::posix(errno, to);
    FileDescriptor dir(openRetrying(Path::parent(to), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // The rename is done; a folder that cannot be synced only weakens the
    // guarantee after a power cut.
    if (dir.valid()) (void)::fsync(dir.get());
    return okStatus();
}

} // namespace FileSystem

namespace SpecialFolders {

std::optional<std::string> home() {
    // A relative value is no place to keep anything: ignore it as XDG does.
    if (const char* h = std::getenv("HOME"); h && *h == '/') return std::string(h);
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

namespace {

std::string firstLine(const std::string& file) {
    auto f = FileSystem::openRegular(file);
    // sysfs attributes are regular files of a page at most.
    if (!f) return {};
    char buf[256];
    const ssize_t n = readRetrying(f->fd.get(), buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string line(buf, std::size_t(n));
    return line.substr(0, line.find('\n'));
}

// The file-system type of a mount, from /proc/self/mountinfo(5): the mount
// id comes first, the type right after the " - " separator.
std::string mountType(std::uint64_t mountId) {
    FILE* f = std::fopen("/proc/self/mountinfo", "re");
    if (!f) return {};
    std::string type;
    char* line = nullptr;
    std::size_t size = 0;
    while (::getline(&line, &size, f) > 0) {
        if (std::strtoull(line, nullptr, 10) != mountId) continue;
        if (const char* sep = std::strstr(line, " - ")) {
            const char* start = sep + 3;
            type.assign(start, std::strcspn(start, " \n"));
        }
        break;
    }
    std::free(line);
    std::fclose(f);
    return type;
}

bool isNetworkType(std::string_view type) {
    for (std::string_view t :
         {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p", "ceph", "glusterfs",
          "lustre", "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "davfs", "fuse.davfs2"}) {
        if (type == t) return true;
    }
    return false;
}

} // namespace

StorageKind storageKind(const std::string& path) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_STATX_DONT_SYNC, STATX_TYPE | STATX_MNT_ID, &sx) != 0) {
        return StorageKind::unknown;
    }
    if ((sx.stx_mask & STATX_MNT_ID) && isNetworkType(mountType(sx.stx_mnt_id))) {
        return StorageKind::network;
    }
    const std::string link = "/sys/dev/block/" + std::to_string(sx.stx_dev_major) + ":" +
                             std::to_string(sx.stx_dev_minor);
    char device[PATH_MAX];
    if (!::realpath(link.c_str(), device)) return StorageKind::unknown;
    const std::string_view d(device);
    if (d.find("/virtio") != std::string_view::npos || d.find("/xen") != std::string_view::npos) {
        return StorageKind::unknown;
    }
    // A partition has no queue of its own: its disk, one level up, has.
    std::string flag = firstLine(std::string(d) + "/queue/rotational");
    if (flag.empty()) flag = firstLine(Path::parent(d) + "/queue/rotational");
    if (flag == "1") return StorageKind::rotational;
    if (flag == "0") return StorageKind::solidState;
    return StorageKind::unknown;
}

int openFileBudget() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 256;
    return static_cast<int>(std::max<rlim_t>(16, std::min<rlim_t>(limit.rlim_cur / 4, 1 << 16)));
}

} // namespace tb::platform
