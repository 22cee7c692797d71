#include "scan/directory_lister.h"

#include <sys/stat.h>

#include "base/path.h"

namespace tb {

namespace VolumeID {

VolumeIdentity of(const std::string& path) {
    return platform::volumeIdentity(path);
}

bool isDifferent(const std::string& path, const VolumeIdentity& root) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    return static_cast<std::uint64_t>(st.st_dev) != root.device;
}

} // namespace VolumeID

namespace DirectoryLister {

RawEntry entry(const platform::DirectoryReader& reader, const platform::DirEntryAttributes& e,
               const std::string& directory) {
    RawEntry r;
    r.name = std::string(reader.name(e));
    r.url = Path::appending(directory, r.name);
    r.isDirectory = e.isDirectory;
    r.isMount = e.isDirectory && e.isMount;
    r.inode = e.inode;
    r.modified = e.hasModified ? Date::fromUnix(e.modifiedSeconds, e.modifiedNanoseconds)
                               : Date::distantPast();
    if (!e.isDirectory) {
        r.logicalSize = e.size;
        r.allocatedSize = e.allocated;
        r.mayShareBlocks = e.allocated > 0 && e.size > e.allocated;
        r.linkCount = e.linkCount;
        r.device = e.device;
    }
    return r;
}

namespace {
std::vector<RawEntry> entries(const platform::DirectoryReader& reader, const std::string& dir) {
    std::vector<RawEntry> out;
    out.reserve(reader.entries().size());
    for (const auto& e : reader.entries())
        out.push_back(entry(reader, e, dir));
    return out;
}
} // namespace

bool read(platform::DirectoryReader& reader, const std::string& directory,
          const VolumeIdentity& root, platform::DirectoryReader::Link link) {
    if (reader.readBulk(directory, root, link) == 0) return true;
    return reader.readPortable(directory, root, link) == 0;
}

bool read(platform::DirectoryReader& reader, int dirFd, const VolumeIdentity& root) {
    if (reader.readBulk(dirFd, root) == 0) return true;
    return reader.readPortable(dirFd, root) == 0;
}

DirectoryListing list(const std::string& directory, const VolumeIdentity& root) {
    platform::DirectoryReader reader;
    if (!read(reader, directory, root, platform::DirectoryReader::Link::follow)) {
        return DirectoryListing{{}, true};
    }
    return DirectoryListing{entries(reader, directory), false};
}

DirectoryListing fallback(const std::string& directory, const VolumeIdentity& root) {
    platform::DirectoryReader reader;
    if (reader.readPortable(directory, root, platform::DirectoryReader::Link::follow) != 0) {
        return DirectoryListing{{}, true};
    }
    return DirectoryListing{entries(reader, directory), false};
}

} // namespace DirectoryLister

namespace BulkWalker {

Result<std::vector<RawEntry>> children(const std::string& directory, const VolumeIdentity& root) {
    platform::DirectoryReader reader;
    if (const int err = reader.readBulk(directory, root, platform::DirectoryReader::Link::follow);
        err != 0) {
        return Error::posix(err);
    }
    std::vector<RawEntry> out;
    out.reserve(reader.entries().size());
    for (const auto& e : reader.entries())
        out.push_back(DirectoryLister::entry(reader, e, directory));
    return out;
}

} // namespace BulkWalker
} // namespace tb
