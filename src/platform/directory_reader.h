// Lists one directory with the attributes a scan needs, in as few system
// calls as the kernel allows. One reader per thread: it reuses its buffers
// from one directory to the next. Symbolic links are never followed and
// nothing but directories is ever opened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb::platform {

// Which mount a scan started on. A child directory on another mount is not
// entered: judged by the mount id where the kernel gives one, because a bind
// mount keeps its parent's device and a btrfs subvolume changes it.
struct VolumeIdentity {
    std::uint64_t device = 0;
    std::uint64_t mountId = 0;
    bool hasMountId = false;
    bool valid = false;
};

// stat of the path, following links; invalid when it fails.
VolumeIdentity volumeIdentity(const std::string& path);

struct DirEntryAttributes {
    std::uint32_t nameOffset = 0; // into the reader's name storage
    std::uint32_t nameLength = 0;
    bool isDirectory = false;
    bool isMount = false;
    bool hasModified = false;
    std::uint64_t inode = 0;
    std::int64_t modifiedSeconds = 0;
    std::int32_t modifiedNanoseconds = 0;
    // Names the file has on its volume, and the volume: a file with several
    // names is one (device, inode) wherever it is listed.
    std::uint32_t linkCount = 1;
    std::int64_t size = 0;
    std::int64_t allocated = 0; // blocks * 512
    std::uint64_t device = 0;
};

class DirectoryReader {
public:
    DirectoryReader();

    // Whether the directory's own path may be a symbolic link. Only a scan's
    // root may: below it, a folder that became a link since it was listed is
    // refused rather than followed.
    enum class Link { refuse, follow };

    // A directory opened by its path, or -1 with errno set.
    static int open(const std::string& path, Link link = Link::refuse);
    // A child folder opened by name from its open parent, never through a
    // link, or -1 with errno set: no path length limit applies, and a link
    // swapped in above the child is never followed.
    static int openChild(int parentFd, const char* name);

    // getdents64 in bulk, then statx relative to the open directory.
    // Returns 0, or the errno that stopped it; on failure entries() is empty.
    int readBulk(int dirFd, const VolumeIdentity& root);
    // An independent second path: readdir, then statx of each name.
    int readPortable(int dirFd, const VolumeIdentity& root);

    // The same on a directory opened by its path.
    int readBulk(const std::string& directory, const VolumeIdentity& root,
                 Link link = Link::refuse);
    int readPortable(const std::string& directory, const VolumeIdentity& root,
                     Link link = Link::refuse);

    const std::vector<DirEntryAttributes>& entries() const { return entries_; }
    std::string_view name(const DirEntryAttributes& e) const {
        return std::string_view(names_).substr(e.nameOffset, e.nameLength);
    }

private:
    void clear();
    // Fills one entry from statx. When statx fails (the entry vanished) the
    // entry is dropped, or kept as an unknown 0-byte item. Returns EACCES
    // when the folder lets its names be read but not looked up (mode r--).
    int describe(int dirfd, const char* name, const VolumeIdentity& root, bool keepUnreadable);

    std::vector<char> buffer_;
    std::vector<DirEntryAttributes> entries_;
    std::string names_;
};

} // namespace tb::platform
