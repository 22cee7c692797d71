// Order of a move to the Trash, so that a failure at any step leaves the item
// where it was and no stray entry behind:
//   1. find the Trash of the item's volume and open its files/ and info/
//      folders one step at a time without following links, checking at each
//      step that the folder is a real one and ours (creating it 0700);
//   2. reserve a free name by creating info/NAME.trashinfo with O_EXCL and
//      writing it (a name also taken in files/ is skipped);
//   3. rename the item to files/NAME relative to the open folder, never
//      replacing anything, so a link planted after step 1 cannot redirect it;
//   4. if 3 fails, remove the info file from 2 and report the error.
// Putting back is the reverse: open the original parent chain from "/" the
// same way, move, then drop the info entry.
#include "platform/trash.h"

#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <optional>

#include "base/path.h"
#include "platform/file_system.h"

namespace tb::platform {
namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";
// NAME_MAX less ".trashinfo" less room for a ".NNNNN" counter.
constexpr std::size_t kMaxBaseName = 255 - kInfoSuffix.size() - 6;
constexpr int kMaxNameAttempts = 10000;

struct TrashFolder {
    std::string root;         // holds files/ and info/
    std::string topDirectory; // empty for the home trash (absolute Path=)
    FileDescriptor files;
    FileDescriptor info;
};

std::optional<struct statx> statItem(const std::string& path, bool followLinks) {
    struct statx sx {};
    const int flags = AT_NO_AUTOMOUNT | (followLinks ? 0 : AT_SYMLINK_NOFOLLOW);
    if (::statx(AT_FDCWD, path.c_str(), flags, STATX_TYPE | STATX_MODE | STATX_UID | STATX_MNT_ID,
                &sx) != 0) {
        return std::nullopt;
    }
    return sx;
}

bool sameMount(const struct statx& a, const struct statx& b) {
    if (a.stx_dev_major != b.stx_dev_major || a.stx_dev_minor != b.stx_dev_minor) return false;
    const bool haveIds = (a.stx_mask & STATX_MNT_ID) && (b.stx_mask & STATX_MNT_ID);
    return !haveIds || a.stx_mnt_id == b.stx_mnt_id;
}

int openAtRetrying(int dirFd, const std::string& name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::openat(dirFd, name.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

Error trashError(int code, const std::string& text) {
    return Error{"POSIX", code, text};
}

enum class Strictness { ownerOnly, ownerAndMode };

// The folder `name` inside `dirFd`, created 0700 when missing, opened without
// following a link. It must be a real folder owned by us and, where asked,
// writable by nobody else: another user who can write there could read or
// remove what we put in.
Result<FileDescriptor> openOwnFolder(int dirFd, const std::string& shownPath,
                                     const std::string& name, Strictness strictness) {
    if (::mkdirat(dirFd, name.c_str(), 0700) != 0 && errno != EEXIST) return Error::posix(errno);
    FileDescriptor fd(openAtRetrying(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW));
    if (!fd.valid()) {
        const int err = errno;
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
            return trashError(ELOOP, shownPath + " is a link");
        }
        return Error::posix(err);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return Error::posix(errno);
    if (st.st_uid != ::geteuid()) return trashError(EPERM, shownPath + " belongs to another user");
    if (strictness == Strictness::ownerAndMode && (st.st_mode & (S_IWGRP | S_IWOTH))) {
        return trashError(EPERM, shownPath + " can be changed by other users");
    }
    return fd;
}

// files/ and info/ of an open trash root.
Result<TrashFolder> openLayout(FileDescriptor root, std::string rootPath, std::string top,
                               Strictness strictness) {
    auto files = openOwnFolder(root.get(), rootPath + "/files", "files", strictness);
    if (!files) return files.error();
    auto info = openOwnFolder(root.get(), rootPath + "/info", "info", strictness);
    if (!info) return info.error();
    return TrashFolder{std::move(rootPath), std::move(top), std::move(*files), std::move(*info)};
}

Status ensureParents(const std::string& path, mode_t mode) {
    std::size_t i = 1;
    while (i <= path.size()) {
        auto j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        const std::string partial = path.substr(0, j);
        if (::mkdir(partial.c_str(), mode) != 0 && errno != EEXIST) return Error::posix(errno);
        i = j + 1;
    }
    return okStatus();
}

// The home trash may itself be a link (some users keep it on another disk);
// below it nothing is followed.
Result<TrashFolder> homeTrash(const std::string& dataHome) {
    const std::string root = dataHome + "/Trash";
    if (::mkdir(root.c_str(), 0700) != 0 && errno != EEXIST) return Error::posix(errno);
    FileDescriptor fd(openRetrying(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) return Error::posix(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return Error::posix(errno);
    if (st.st_uid != ::geteuid()) return trashError(EPERM, root + " belongs to another user");
    return openLayout(std::move(fd), root, {}, Strictness::ownerOnly);
}

Error noTrashOnVolume(const Error& cause) {
    return Error{cause.domain, cause.code, "No usable Trash on this volume: " + cause.message};
}

// $topdir/.Trash/$uid when .Trash is a real sticky folder (not a link) and
// $uid with its files/ and info/ are ours and closed to others; else
// $topdir/.Trash-$uid under the same checks; else no Trash at all.
Result<TrashFolder> topDirectoryTrash(const std::string& topDirectory) {
    const std::string uid = std::to_string(::geteuid());
    const std::string base = topDirectory == "/" ? "" : topDirectory;
    FileDescriptor top(openRetrying(topDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.valid()) return noTrashOnVolume(Error::posix(errno));

    const std::string shared = base + "/.Trash";
    FileDescriptor sharedFd(
        openAtRetrying(top.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW));
    struct stat st {};
    if (sharedFd.valid() && ::fstat(sharedFd.get(), &st) == 0 && (st.st_mode & S_ISVTX)) {
        const std::string root = shared + "/" + uid;
        if (auto own = openOwnFolder(sharedFd.get(), root, uid, Strictness::ownerAndMode)) {
            auto t = openLayout(std::move(*own), root, topDirectory, Strictness::ownerAndMode);
            if (t) return t;
        }
    }
    const std::string root = base + "/.Trash-" + uid;
    auto own = openOwnFolder(top.get(), root, ".Trash-" + uid, Strictness::ownerAndMode);
    if (!own) return noTrashOnVolume(own.error());
    auto t = openLayout(std::move(*own), root, topDirectory, Strictness::ownerAndMode);
    if (!t) return noTrashOnVolume(t.error());
    return t;
}

// Keeps a too-long name within NAME_MAX without splitting a UTF-8 sequence.
std::string baseNameFor(std::string_view name) {
    if (name.size() <= kMaxBaseName) return std::string(name);
    std::size_t cut = kMaxBaseName;
    for (int back = 0; back < 3 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80; ++back) {
        --cut;
    }
    return std::string(name.substr(0, cut));
}

// "report.pdf" -> "report.2.pdf"; "notes" -> "notes.2".
std::string numberedName(const std::string& base, int n) {
    if (n == 1) return base;
    const auto dot = base.rfind('.');
    if (dot == std::string::npos || dot == 0) return base + "." + std::to_string(n);
    return base.substr(0, dot) + "." + std::to_string(n) + base.substr(dot);
}

std::string deletionDateNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    return buf;
}

// Names inside the open files/ and info/ folders.
struct Reservation {
    std::string name;
    std::string infoName;
};

Result<Reservation> reserveName(const TrashFolder& trash, std::string_view itemName,
                                const std::string& contents) {
    const std::string base = baseNameFor(itemName);
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        Reservation r{numberedName(base, n), {}};
        r.infoName = r.name + std::string(kInfoSuffix);
        FileDescriptor fd(openAtRetrying(trash.info.get(), r.infoName,
                                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST) continue;
            return Error::posix(errno);
        }
        struct stat st {};
        if (::fstatat(trash.files.get(), r.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            // A leftover without an entry of its own: the name is not free.
            fd.close();
            ::unlinkat(trash.info.get(), r.infoName.c_str(), 0);
            continue;
        }
        Status written = writeAll(fd.get(), contents);
        if (written && fd.close() != 0) written = Error::posix(errno);
        if (!written) {
            ::unlinkat(trash.info.get(), r.infoName.c_str(), 0);
            return written.error();
        }
        return r;
    }
    return Error::posix(EEXIST);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Trash metadata is a few lines per item; the cache a line per folder.
constexpr std::size_t kMaxTrashTextBytes = 64 << 20;

// directorysizes lines read "SIZE MTIME ENCODED-NAME"; the cache is replaced
// by rename so that a reader never sees half a file.
void dropDirectorySizesLine(const std::string& root, const std::string& name) {
    const std::string path = root + "/directorysizes";
    const auto text = FileSystem::readWhole(path, kMaxTrashTextBytes);
    if (!text) return;
    std::string kept;
    bool dropped = false;
    std::size_t i = 0;
    while (i < text->size()) {
        auto j = text->find('\n', i);
        if (j == std::string::npos) j = text->size();
        const std::string_view line(text->data() + i, j - i);
        const auto first = line.find(' ');
        const auto second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second != std::string_view::npos && decodeTrashPath(line.substr(second + 1)) == name) {
            dropped = true;
        } else {
            kept.append(line);
            kept.push_back('\n');
        }
        i = j + 1;
    }
    if (!dropped) return;
    std::string tmpl = root + "/directorysizes.XXXXXX";
    FileDescriptor fd(::mkstemp(tmpl.data()));
    if (fd.get() < 0) return;
    if (writeAll(fd.get(), kept) && fd.close() == 0 && ::rename(tmpl.c_str(), path.c_str()) == 0) {
        return;
    }
    ::unlink(tmpl.c_str());
}

// Opens `folder` one component at a time from "/" without following links,
// creating a missing component 0700 (its old mode is not known here, and the
// narrowest one exposes nothing). A component that is a link, or a folder
// owned by neither us nor root, stops the walk: another user could have put
// it there to catch the item.
Result<FileDescriptor> openParentChain(const std::string& folder) {
    FileDescriptor fd(openRetrying("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) return Error::posix(errno);
    std::string walked;
    std::size_t i = 1;
    while (i < folder.size()) {
        auto j = folder.find('/', i);
        if (j == std::string::npos) j = folder.size();
        const std::string component = folder.substr(i, j - i);
        i = j + 1;
        if (component.empty()) continue;
        walked += "/" + component;
        const int flags = O_PATH | O_DIRECTORY | O_NOFOLLOW;
        FileDescriptor next(openAtRetrying(fd.get(), component, flags));
        if (!next.valid() && errno == ENOENT) {
            if (::mkdirat(fd.get(), component.c_str(), 0700) != 0 && errno != EEXIST) {
                return Error::posix(errno);
            }
            next.reset(openAtRetrying(fd.get(), component, flags));
        }
        if (!next.valid()) {
            const int err = errno;
            struct stat st {};
            if (::fstatat(fd.get(), component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISLNK(st.st_mode)) {
                    return trashError(ELOOP, walked +
                                                 " is now a link, so the item was not put "
                                                 "back. It stays in the Trash.");
                }
                if (!S_ISDIR(st.st_mode)) {
                    return trashError(ENOTDIR, walked +
                                                   " is no longer a folder, so the item was "
                                                   "not put back. It stays in the Trash.");
                }
            }
            return Error::posix(err);
        }
        struct stat st {};
        if (::fstat(next.get(), &st) != 0) return Error::posix(errno);
        if (st.st_uid != ::geteuid() && st.st_uid != 0) {
            return trashError(EPERM, walked +
                                         " belongs to another user, so the item was not put "
                                         "back. It stays in the Trash.");
        }
        fd = std::move(next);
    }
    return fd;
}

} // namespace

std::string decodeTrashPath(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
            out.push_back(char(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::string encodeTrashPath(std::string_view path) {
    // The same escaping as a file URL's path.
    constexpr std::string_view scheme = "file://";
    return Path::fileUrl(path).substr(scheme.size());
}

Status moveItemAt(int fromDir, const std::string& from, int toDir, const std::string& to) {
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0) {
        return okStatus();
    }
    const int err = errno;
    if (err != EINVAL && err != ENOSYS) return Error::posix(err);
    struct stat st {};
    if (::fstatat(fromDir, from.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Error::posix(errno);
    if (S_ISDIR(st.st_mode)) {
        return Error{"POSIX", err,
                     "This file system cannot move a folder without the risk of replacing what "
                     "is at the destination, so the folder was not moved."};
    }
    // link(2) fails with EEXIST instead of replacing; it never follows a link.
    if (::linkat(fromDir, from.c_str(), toDir, to.c_str(), 0) != 0) return Error::posix(errno);
    if (::unlinkat(fromDir, from.c_str(), 0) != 0) {
        const int unlinkErr = errno;
        ::unlinkat(toDir, to.c_str(), 0); // only the second name made above; the data stays
        return Error::posix(unlinkErr);
    }
    return okStatus();
}

Status moveItem(const std::string& from, const std::string& to) {
    // EINVAL also means "a folder into itself"; only a missing flag falls back.
    if (Path::isSameOrInside(FileSystem::resolved(Path::parent(to)), FileSystem::resolved(from))) {
        return Error::posix(EINVAL);
    }
    return moveItemAt(AT_FDCWD, from, AT_FDCWD, to);
}

TrashVolumes TrashVolumes::system() {
    TrashVolumes v;
    v.sameVolume = [](const std::string& item, const std::string& folder) {
        const auto a = statItem(item, false);
        const auto b = statItem(folder, true);
        return a && b && sameMount(*a, *b);
    };
    v.topDirectory = [](const std::string& folder) {
        std::string dir = FileSystem::resolved(folder);
        while (dir != "/") {
            const auto here = statItem(dir, true);
            if (!here) break;
#ifdef STATX_ATTR_MOUNT_ROOT
            if ((here->stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                (here->stx_attributes & STATX_ATTR_MOUNT_ROOT)) {
                return dir;
            }
#endif
            const std::string up = Path::parent(dir);
            const auto above = statItem(up, true);
            if (!above || !sameMount(*here, *above)) return dir;
            dir = up;
        }
        return dir;
    };
    return v;
}

FreedesktopTrash::FreedesktopTrash(TrashVolumes volumes) : volumes_(std::move(volumes)) {}

Result<std::string> FreedesktopTrash::moveToTrash(const std::string& rawPath) {
    const std::string path(Path::trimmedSlashes(rawPath));
    const std::string name(Path::lastComponent(path));
    if (name.empty() || name == "." || name == "..") return Error::posix(EINVAL);
    if (!statItem(path, false)) return Error::posix(errno);

    const auto dataHome = SpecialFolders::userData();
    if (!dataHome) {
        return Error{"POSIX", ENOENT, "There is no home folder, so there is no Trash."};
    }
    if (auto s = ensureParents(*dataHome, 0700); !s) return s.error();

    const std::string parent = FileSystem::resolved(Path::parent(path));
    const std::string original = Path::appending(parent, name);
    // Judged by where the home trash itself lies, which a link may put on
    // another volume than the data folder; made first so that a new one is
    // judged where it will be.
    const std::string homeRoot = *dataHome + "/Trash";
    (void)::mkdir(homeRoot.c_str(), 0700);
    Result<TrashFolder> trash = volumes_.sameVolume(path, homeRoot)
                                    ? homeTrash(*dataHome)
                                    : topDirectoryTrash(volumes_.topDirectory(parent));
    if (!trash) return trash.error();
    if (Path::isSameOrInside(FileSystem::resolved(trash->root), original)) {
        return Error{"POSIX", EINVAL,
                     "The Trash lies inside this folder, so the folder cannot "
                     "be moved to the Trash."};
    }

    std::string infoPath = original;
    const std::string& top = trash->topDirectory;
    if (!top.empty() && Path::isSameOrInside(original, top) && original != top) {
        infoPath = original.substr(top == "/" ? 1 : top.size() + 1);
    }
    const std::string contents = "[Trash Info]\nPath=" + encodeTrashPath(infoPath) +
                                 "\nDeletionDate=" + deletionDateNow() + "\n";
    auto reserved = reserveName(*trash, name, contents);
    if (!reserved) return reserved.error();

    if (auto moved = moveItemAt(AT_FDCWD, path, trash->files.get(), reserved->name); !moved) {
        ::unlinkat(trash->info.get(), reserved->infoName.c_str(), 0);
        return moved.error();
    }
    return trash->root + "/files/" + reserved->name;
}

Status FreedesktopTrash::putBack(const std::string& trashed, const std::string& rawOriginal) {
    // The entry records the path with the links of that moment resolved
    // (/home -> /var/home, say); following them now could follow one planted
    // since, so the walk below follows none and starts from that record.
    std::string original = Path::standardized(rawOriginal);
    if (auto recorded = originalPathOf(trashed);
        recorded && Path::lastComponent(*recorded) == Path::lastComponent(original)) {
        original = Path::standardized(*recorded);
    }
    const std::string name(Path::lastComponent(original));
    if (original.empty() || original[0] != '/' || name.empty()) return Error::posix(EINVAL);
    auto parent = openParentChain(Path::parent(original));
    if (!parent) return parent.error();
    if (auto moved = moveItemAt(AT_FDCWD, trashed, parent->get(), name); !moved) {
        if (moved.error().code == EEXIST || moved.error().code == ENOTEMPTY) {
            return Error{"POSIX", EEXIST,
                         "An item now exists at " + original + "; move it away and try again."};
        }
        return moved;
    }
    // The item is back; a stale entry left by a failure below would only
    // show an empty line in the Trash, so the restore still counts.
    const std::string filesDir = Path::parent(trashed);
    if (Path::lastComponent(filesDir) != "files") return okStatus();
    const std::string root = Path::parent(filesDir);
    const std::string trashedName(Path::lastComponent(trashed));
    ::unlink((root + "/info/" + trashedName + std::string(kInfoSuffix)).c_str());
    dropDirectorySizesLine(root, trashedName);
    return okStatus();
}

Result<std::string> originalPathOf(const std::string& trashed) {
    const std::string filesDir = Path::parent(trashed);
    if (Path::lastComponent(filesDir) != "files") return Error::posix(ENOENT);
    const std::string root = Path::parent(filesDir);
    const std::string info =
        root + "/info/" + std::string(Path::lastComponent(trashed)) + std::string(kInfoSuffix);
    const auto text = FileSystem::readWhole(info, kMaxTrashTextBytes);
    if (!text) return Error::posix(text.error().code ? text.error().code : ENOENT, info);
    std::size_t i = 0;
    while (i < text->size()) {
        auto j = text->find('\n', i);
        if (j == std::string::npos) j = text->size();
        const std::string_view line(text->data() + i, j - i);
        if (line.starts_with("Path=")) {
            std::string path = decodeTrashPath(line.substr(5));
            if (!path.empty() && path[0] == '/') return path;
            // Relative to the volume: $topdir/.Trash-$uid or $topdir/.Trash/$uid.
            std::string top = Path::parent(root);
            if (Path::lastComponent(top) == ".Trash") top = Path::parent(top);
            return Path::appending(top, path);
        }
        i = j + 1;
    }
    return Error{"POSIX", EINVAL, info + " names no original path"};
}

std::shared_ptr<Trash> systemTrash() {
    return std::make_shared<FreedesktopTrash>();
}

} // namespace tb::platform
