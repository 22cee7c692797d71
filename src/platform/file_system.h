// Narrow file-system queries on raw-byte paths. Any thread; no state; every
// call opens and closes what it uses.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/date.h"
#include "base/result.h"
#include "platform/file_descriptor.h"

namespace tb::platform {

struct Existence {
    bool exists = false;
    bool isDirectory = false;
};

// Resource values of one item, read without following a final symbolic link.
struct ItemValues {
    std::uint64_t identity = 0;      // the inode number, as the lister stores it
    std::int64_t totalAllocated = 0; // blocks * 512
    std::int64_t size = 0;           // st_size
    Date modified = Date::distantPast();
    bool isDirectory = false;
    bool isSymbolicLink = false;
    bool isRegular = false;
    std::uint64_t device = 0;
    std::uint64_t mountId = 0;
};

namespace FileSystem {

// stat (follows links): exists, and whether it is a directory.
Existence exists(const std::string& path);
// lstat-like values of the item itself.
Result<ItemValues> values(const std::string& path);
// A device number as ItemValues::device holds it, from its two halves.
std::uint64_t deviceNumber(std::uint32_t major, std::uint32_t minor);
// realpath where the path exists; otherwise the lexically standardised path.
std::string resolved(const std::string& path);
// The names in one folder (no "." or ".."), in the order the system gives them.
Result<std::vector<std::string>> listNames(const std::string& path);

// Why the folder at `path` cannot be opened for listing now (the error's
// text is the system's: "Permission denied"); ok when it can. Opens and
// closes the folder, reads nothing of it, follows no final link.
Status openableFolder(const std::string& path);
// The path made absolute against the working directory (lexically).
std::string absolute(const std::string& path);

// A regular file opened for reading, checked before anything could block: a
// FIFO or a device in its place is refused (ENXIO, EISDIR for a folder), and
// so is a final symbolic link (ELOOP) unless the caller follows it (a file
// the user named). The descriptor is left non-blocking, which a regular
// file ignores.
struct RegularFile {
    FileDescriptor fd;
    std::int64_t size = 0;
};
enum class FinalLink { refuse, follow };
Result<RegularFile> openRegular(const std::string& path, FinalLink link = FinalLink::refuse);
// At most `maxBytes` from the start of a regular file opened as openRegular
// does; fewer when the file is shorter.
Result<std::string> readHead(const std::string& path, std::size_t maxBytes);
// The whole of a regular file opened as openRegular does; EFBIG when it holds
// more than `maxBytes`.
Result<std::string> readWhole(const std::string& path, std::size_t maxBytes);

// Creates every missing folder of the path with mode 0700: what lies below
// is nobody else's business.
Status makePrivateDirectories(const std::string& path);

// A new file (mode 0600) that this process holds an exclusive flock on for
// as long as the descriptor lives. Fails with EEXIST when the name is taken
// and EAGAIN when another process got hold of it first.
Result<FileDescriptor> createLocked(const std::string& path);
// The exclusive flock of an existing regular file, without waiting; EAGAIN
// while another descriptor holds it.
Result<FileDescriptor> tryLock(const std::string& path);
// A new private folder made from `pattern` (ending in "XXXXXX", replaced by
// the name taken, as mkdtemp does), with an exclusive flock held for as long
// as the descriptor lives: whoever removes abandoned folders of that kind
// takes the lock first, so a live one is never removed under its owner.
Result<FileDescriptor> createLockedFolder(std::string& pattern);
// The exclusive flock of an existing folder (not through a link), without
// waiting; EAGAIN while another descriptor holds it.
Result<FileDescriptor> tryLockFolder(const std::string& path);

// An exclusive flock on `path`, a plain file created 0600 when missing and
// never reached through a final link, held while the descriptor lives.
// Waits at most `patience`, then fails with EWOULDBLOCK.
Result<FileDescriptor> waitForLock(const std::string& path, std::chrono::milliseconds patience);

// `contents` under a new name beside `path` (mode 0600, created exclusively,
// never through a link), synced and renamed over `path`: a reader sees the
// old file or the new one, never half.
Status replaceContents(const std::string& path, std::string_view contents);

// Unlinks `name` (one component) from `folder` only when it is a regular
// file: a link, a folder or anything else there stays (ELOOP for a link,
// EPERM otherwise), and the folder is not reached through a final link.
Status removeRegularFileIn(const std::string& folder, const std::string& name);

// fsync of the file, then rename into place and fsync of the folder, so
// that the new name never points at data still in flight.
Status syncAndRename(const FileDescriptor& file, const std::string& from, const std::string& to);

} // namespace FileSystem

namespace SpecialFolders {
// $HOME, else the password database; nullopt when neither gives one.
std::optional<std::string> home();
// $XDG_DATA_HOME, else ~/.local/share; nullopt without a home.
std::optional<std::string> userData();
// $TMPDIR or /tmp.
std::string temporary();
} // namespace SpecialFolders

// sysconf(_SC_NPROCESSORS_ONLN), at least 1.
int activeProcessorCount();
// What kind of storage holds a path, for choosing how many reads to keep in
// flight. A virtual disk (virtio, Xen) reports the kernel's default flag,
// which says nothing about the host's storage: it counts as unknown.
enum class StorageKind { solidState, rotational, network, unknown };
StorageKind storageKind(const std::string& path);

// How many descriptors one task may keep open at a time: a quarter of the
// process's soft limit, so that the rest of the program never meets EMFILE.
int openFileBudget();

} // namespace tb::platform
