#include "platform/directory_reader.h"

#include "platform/file_descriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tb::platform {
namespace {

// 512 KiB: large directories are read in a handful of calls.
constexpr std::size_t kBufferSize = 512 * 1024;

constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_MTIME |
                                STATX_SIZE | STATX_BLOCKS | STATX_MNT_ID;
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC | AT_NO_AUTOMOUNT;

// struct linux_dirent64 (getdents64(2)): d_ino u64, d_off s64, d_reclen u16,
// d_type u8, then the NUL-terminated name.
constexpr std::size_t kRecordLengthOffset = 16;
constexpr std::size_t kNameOffset = 19;

bool isDotOrDotDot(const char* n) {
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// O_DIRECTORY fails before anything could block on a FIFO or a device that
// took a folder's place since it was listed.
constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// statx(2) of a name needs search permission on its folder. A folder with
// read but no search permission lists its names and nothing else: that is
// an unreadable folder, not one full of empty files. The folder's own "."
// tells it apart from a single entry that refuses (another user's FUSE
// mount, say).
bool lacksSearchPermission(int dirfd) {
    struct statx sx {};
    return ::statx(dirfd, ".", AT_STATX_DONT_SYNC, STATX_TYPE, &sx) != 0 && errno == EACCES;
}

} // namespace

VolumeIdentity volumeIdentity(const std::string& path) {
    struct statx sx {};
    VolumeIdentity v;
    if (::statx(AT_FDCWD, path.c_str(), AT_STATX_DONT_SYNC, STATX_TYPE | STATX_MNT_ID, &sx) != 0) {
        return v;
    }
    v.valid = true;
    v.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    if (sx.stx_mask & STATX_MNT_ID) {
        v.mountId = sx.stx_mnt_id;
        v.hasMountId = true;
    }
    return v;
}

DirectoryReader::DirectoryReader() : buffer_(kBufferSize) {
    entries_.reserve(256);
    names_.reserve(8192);
}

void DirectoryReader::clear() {
    entries_.clear();
    names_.clear();
}

int DirectoryReader::open(const std::string& path, Link link) {
    return openRetrying(path, kOpenFlags | (link == Link::refuse ? O_NOFOLLOW : 0));
}

int DirectoryReader::openChild(int parentFd, const char* name) {
    int fd;
    do {
        fd = ::openat(parentFd, name, kOpenFlags | O_NOFOLLOW);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int DirectoryReader::describe(int dirfd, const char* name, const VolumeIdentity& root,
                              bool keepUnreadable) {
    struct statx sx {};
    DirEntryAttributes e;
    if (::statx(dirfd, name, kStatxFlags, kStatxMask, &sx) != 0) {
        if (errno == EACCES && lacksSearchPermission(dirfd)) return EACCES;
        if (!keepUnreadable) return 0;
        // The slower path still lists the name: an item of 0 bytes whose
        // date and identity are unknown.
        const std::string_view n(name);
        e.nameOffset = static_cast<std::uint32_t>(names_.size());
        e.nameLength = static_cast<std::uint32_t>(n.size());
        names_.append(n);
        entries_.push_back(e);
        return 0;
    }
    const std::string_view n(name);
    e.nameOffset = static_cast<std::uint32_t>(names_.size());
    e.nameLength = static_cast<std::uint32_t>(n.size());
    names_.append(n);
    e.isDirectory = S_ISDIR(sx.stx_mode);
    e.inode = sx.stx_ino;
    if (sx.stx_mask & STATX_MTIME) {
        e.hasModified = true;
        e.modifiedSeconds = sx.stx_mtime.tv_sec;
        e.modifiedNanoseconds = static_cast<std::int32_t>(sx.stx_mtime.tv_nsec);
    }
    if (e.isDirectory) {
        const bool knowsMountRoot = sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT;
        // Where the kernel says which folders are mount roots, that is the
        // answer: inside a mount the walk was asked to enter, every folder
        // has another mount id than the root's.
        if (knowsMountRoot) {
            e.isMount = sx.stx_attributes & STATX_ATTR_MOUNT_ROOT;
        } else if (root.hasMountId && (sx.stx_mask & STATX_MNT_ID)) {
            e.isMount = sx.stx_mnt_id != root.mountId;
        } else if (!knowsMountRoot && root.valid) {
            e.isMount = makedev(sx.stx_dev_major, sx.stx_dev_minor) != root.device;
        }
    } else {
        e.size = static_cast<std::int64_t>(sx.stx_size);
        e.allocated = static_cast<std::int64_t>(sx.stx_blocks) * 512;
        if (sx.stx_mask & STATX_NLINK) e.linkCount = sx.stx_nlink;
        e.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    }
    entries_.push_back(e);
    return 0;
}

int DirectoryReader::readBulk(int dirFd, const VolumeIdentity& root) {
    clear();
    for (;;) {
        const long n = ::syscall(SYS_getdents64, dirFd, buffer_.data(), buffer_.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            clear();
            return err;
        }
        if (n == 0) break;
        for (long offset = 0; offset < n;) {
            const char* record = buffer_.data() + offset;
            unsigned short length;
            std::memcpy(&length, record + kRecordLengthOffset, sizeof length);
            offset += length;
            const char* name = record + kNameOffset;
            if (isDotOrDotDot(name)) continue;
            // An entry that vanished since the read is dropped, as the
            // kernel would not have listed it a moment later.
            if (const int err = describe(dirFd, name, root, false); err != 0) {
                clear();
                return err;
            }
        }
    }
    return 0;
}

int DirectoryReader::readPortable(int dirFd, const VolumeIdentity& root) {
    clear();
    // A descriptor of its own for the DIR, read from the start: the bulk
    // path may have left the shared offset anywhere.
    FileDescriptor own(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
    if (!own.valid()) return errno;
    DIR* dir = ::fdopendir(own.get());
    if (!dir) return errno;
    own.take(); // the DIR owns it now
    ::rewinddir(dir);
    int err = 0;
    for (;;) {
        errno = 0;
        dirent* d = ::readdir(dir);
        if (!d) {
            err = errno;
            break;
        }
        if (isDotOrDotDot(d->d_name)) continue;
        if ((err = describe(dirFd, d->d_name, root, true)) != 0) break;
    }
    ::closedir(dir);
    if (err != 0) {
        clear();
        return err;
    }
    return 0;
}

int DirectoryReader::readBulk(const std::string& directory, const VolumeIdentity& root, Link link) {
    clear();
    FileDescriptor fd(open(directory, link));
    if (!fd.valid()) return errno;
    return readBulk(fd.get(), root);
}

int DirectoryReader::readPortable(const std::string& directory, const VolumeIdentity& root,
                                  Link link) {
    clear();
    FileDescriptor fd(open(directory, link));
    if (!fd.valid()) return errno;
    return readPortable(fd.get(), root);
}

} // namespace tb::platform
