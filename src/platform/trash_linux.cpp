// Order of a move to the Trash, so that a failure at any step leaves the item
// where it was and no stray entry behind:
//   1. find the Trash of the item's volume, creating its folders (0700);
//   2. reserve a free name by creating info/NAME.trashinfo with O_EXCL and
//      writing it (a name also taken in files/ is skipped);
//   3. rename the item to files/NAME, never replacing anything;
//   4. if 3 fails, remove the info file from 2 and report the error.
// Putting back is the reverse: move first, then drop the info entry.
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
    std::string root;          // holds files/ and info/
    std::string topDirectory;  // empty for the home trash (absolute Path=)
};

std::optional<struct statx> statItem(const std::string& path, bool followLinks) {
    struct statx sx{};
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

Status writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return Error::posix(errno);
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return okStatus();
}

// A folder of the trash: created 0700 when missing; an existing one must be a
// folder (a link only where `allowLink`).
Status ensureFolder(const std::string& path, bool allowLink) {
    if (::mkdir(path.c_str(), 0700) == 0) return okStatus();
    if (errno != EEXIST) return Error::posix(errno);
    const auto sx = statItem(path, allowLink);
    if (!sx) return Error::posix(errno);
    if (!S_ISDIR(sx->stx_mode)) return Error::posix(ENOTDIR);
    return okStatus();
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

Status ensureTrashLayout(const std::string& root, bool allowLink) {
    for (const std::string& p : {root, root + "/files", root + "/info"}) {
        if (auto s = ensureFolder(p, allowLink && p == root); !s) return s;
    }
    return okStatus();
}

Result<TrashFolder> homeTrash(const std::string& dataHome) {
    TrashFolder t{dataHome + "/Trash", {}};
    if (auto s = ensureTrashLayout(t.root, true); !s) return s.error();
    return t;
}

Error noTrashOnVolume(const Error& cause) {
    return Error{cause.domain, cause.code, "No usable Trash on this volume: " + cause.message};
}

// $topdir/.Trash/$uid when .Trash is a real sticky folder (not a link), else
// $topdir/.Trash-$uid, which must be our own real folder.
Result<TrashFolder> topDirectoryTrash(const std::string& topDirectory) {
    const std::string uid = std::to_string(::geteuid());
    const std::string base = topDirectory == "/" ? "" : topDirectory;
    const std::string shared = base + "/.Trash";
    if (auto sx = statItem(shared, false);
        sx && S_ISDIR(sx->stx_mode) && (sx->stx_mode & S_ISVTX)) {
        TrashFolder t{shared + "/" + uid, topDirectory};
        if (ensureTrashLayout(t.root, false)) return t;
    }
    TrashFolder t{base + "/.Trash-" + uid, topDirectory};
    if (auto s = ensureTrashLayout(t.root, false); !s) return noTrashOnVolume(s.error());
    const auto sx = statItem(t.root, false);
    if (!sx) return noTrashOnVolume(Error::posix(errno));
    if (sx->stx_uid != ::geteuid()) return noTrashOnVolume(Error::posix(EPERM));
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

struct Reservation {
    std::string name;
    std::string infoPath;
};

Result<Reservation> reserveName(const TrashFolder& trash, std::string_view itemName,
                                const std::string& contents) {
    const std::string base = baseNameFor(itemName);
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        Reservation r{numberedName(base, n), {}};
        r.infoPath = trash.root + "/info/" + r.name + std::string(kInfoSuffix);
        FileDescriptor fd(openRetrying(r.infoPath,
                                       O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST) continue;
            return Error::posix(errno);
        }
        struct stat st{};
        const std::string filesPath = trash.root + "/files/" + r.name;
        if (::lstat(filesPath.c_str(), &st) == 0) {
            // A leftover without an entry of its own: the name is not free.
            fd.close();
            ::unlink(r.infoPath.c_str());
            continue;
        }
        Status written = writeAll(fd.get(), contents);
        if (written && fd.close() != 0) written = Error::posix(errno);
        if (!written) {
            ::unlink(r.infoPath.c_str());
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

// Lenient: a "%" not followed by two hex digits stays as it is.
std::string decodeTrashPath(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 &&
            hexValue(s[i + 2]) >= 0) {
            out.push_back(char(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    FileDescriptor fd(openRetrying(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0) return std::nullopt;
    struct stat st{};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return out;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

// directorysizes lines read "SIZE MTIME ENCODED-NAME"; the cache is replaced
// by rename so that a reader never sees half a file.
void dropDirectorySizesLine(const std::string& root, const std::string& name) {
    const std::string path = root + "/directorysizes";
    const auto text = readWholeFile(path);
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

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

} // namespace

std::string encodeTrashPath(std::string_view path) {
    // The same escaping as a file URL's path.
    constexpr std::string_view scheme = "file://";
    return Path::fileUrl(path).substr(scheme.size());
}

Status moveItem(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return okStatus();
    }
    const int err = errno;
    if (err != EINVAL && err != ENOSYS) return Error::posix(err);
    // EINVAL also means "a folder into itself"; only a missing flag falls back.
    const std::string source = FileSystem::resolved(from);
    if (Path::isSameOrInside(FileSystem::resolved(Path::parent(to)), source)) {
        return Error::posix(err);
    }
    struct stat st{};
    if (::lstat(from.c_str(), &st) != 0) return Error::posix(errno);
    if (S_ISDIR(st.st_mode)) {
        return Error{"POSIX", err,
                     "This file system cannot move a folder without the risk of replacing what "
                     "is at the destination, so the folder was not moved."};
    }
    // link(2) fails with EEXIST instead of replacing; it never follows a link.
    if (::link(from.c_str(), to.c_str()) != 0) return Error::posix(errno);
    if (::unlink(from.c_str()) != 0) {
        const int unlinkErr = errno;
        ::unlink(to.c_str());  // only the second name made above; the data stays at `from`
        return Error::posix(unlinkErr);
    }
    return okStatus();
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
    const std::string path = withoutTrailingSlashes(rawPath);
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
    Result<TrashFolder> trash = volumes_.sameVolume(path, *dataHome)
                                    ? homeTrash(*dataHome)
                                    : topDirectoryTrash(volumes_.topDirectory(parent));
    if (!trash) return trash.error();
    if (Path::isSameOrInside(FileSystem::resolved(trash->root), original)) {
        return Error{"POSIX", EINVAL, "The Trash lies inside this folder, so the folder cannot "
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

    const std::string destination = trash->root + "/files/" + reserved->name;
    if (auto moved = moveItem(path, destination); !moved) {
        ::unlink(reserved->infoPath.c_str());
        return moved.error();
    }
    return destination;
}

Status FreedesktopTrash::putBack(const std::string& trashed, const std::string& original) {
    if (auto s = ensureParents(Path::parent(original), 0777); !s) return s;
    if (auto moved = moveItem(trashed, original); !moved) return moved;
    // The item is back; a stale entry left by a failure below would only
    // show an empty line in the Trash, so the restore still counts.
    const std::string filesDir = Path::parent(trashed);
    if (Path::lastComponent(filesDir) != "files") return okStatus();
    const std::string root = Path::parent(filesDir);
    const std::string name(Path::lastComponent(trashed));
    ::unlink((root + "/info/" + name + std::string(kInfoSuffix)).c_str());
    dropDirectorySizesLine(root, name);
    return okStatus();
}

std::shared_ptr<Trash> systemTrash() {
    return std::make_shared<FreedesktopTrash>();
}

} // namespace tb::platform
