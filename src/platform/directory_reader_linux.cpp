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

constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_MTIME |
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
int openDirectory(const std::string& path, DirectoryReader::Link link) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC |
                      (link == DirectoryReader::Link::refuse ? O_NOFOLLOW : 0);
    return openRetrying(path, flags);
}

} // namespace

VolumeIdentity volumeIdentity(const std::string& path) {
    struct statx sx{};
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

bool DirectoryReader::describe(int dirfd, const char* statPath, std::string_view name,
                               const VolumeIdentity& root, bool keepUnreadable) {
    struct statx sx{};
    DirEntryAttributes e;
    if (::statx(dirfd, statPath, kStatxFlags, kStatxMask, &sx) != 0) {
        if (!keepUnreadable) return false;
        // The slower path still lists the name: an item of 0 bytes whose
        // date and identity are unknown.
        e.nameOffset = static_cast<std::uint32_t>(names_.size());
        e.nameLength = static_cast<std::uint32_t>(name.size());
        names_.append(name);
        entries_.push_back(e);
        return true;
    }
    e.nameOffset = static_cast<std::uint32_t>(names_.size());
    e.nameLength = static_cast<std::uint32_t>(name.size());
    names_.append(name);
    e.isDirectory = S_ISDIR(sx.stx_mode);
    e.inode = sx.stx_ino;
    if (sx.stx_mask & STATX_MTIME) {
        e.hasModified = true;
        e.modifiedSeconds = sx.stx_mtime.tv_sec;
        e.modifiedNanoseconds = static_cast<std::int32_t>(sx.stx_mtime.tv_nsec);
    }
    if (e.isDirectory) {
        const bool knowsMountRoot = sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT;
        if (knowsMountRoot && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT)) {
            e.isMount = true;
        } else if (root.hasMountId && (sx.stx_mask & STATX_MNT_ID)) {
            e.isMount = sx.stx_mnt_id != root.mountId;
        } else if (!knowsMountRoot && root.valid) {
            e.isMount = makedev(sx.stx_dev_major, sx.stx_dev_minor) != root.device;
        }
    } else {
        e.size = static_cast<std::int64_t>(sx.stx_size);
        e.allocated = static_cast<std::int64_t>(sx.stx_blocks) * 512;
    }
    entries_.push_back(e);
    return true;
}

int DirectoryReader::readBulk(const std::string& directory, const VolumeIdentity& root,
                              Link link) {
    clear();
    FileDescriptor fd(openDirectory(directory, link));
    if (fd.get() < 0) return errno;
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd.get(), buffer_.data(), buffer_.size());
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
            describe(fd.get(), name, name, root, false);
        }
    }
    return 0;
}

int DirectoryReader::readPortable(const std::string& directory, const VolumeIdentity& root,
                                  Link link) {
    clear();
    FileDescriptor fd(openDirectory(directory, link));
    if (!fd.valid()) return errno;
    DIR* dir = ::fdopendir(fd.get());
    if (!dir) return errno;
    fd.take();  // the DIR owns it now
    std::string full = directory;
    if (full.empty() || full.back() != '/') full.push_back('/');
    const std::size_t base = full.size();
    int err = 0;
    for (;;) {
        errno = 0;
        dirent* d = ::readdir(dir);
        if (!d) {
            err = errno;
            break;
        }
        if (isDotOrDotDot(d->d_name)) continue;
        full.resize(base);
        full.append(d->d_name);
        describe(AT_FDCWD, full.c_str(), d->d_name, root, true);
    }
    ::closedir(dir);
    if (err != 0) {
        clear();
        return err;
    }
    return 0;
}

} // namespace tb::platform
