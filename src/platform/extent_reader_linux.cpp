#include "platform/extent_reader.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/file_descriptor.h"

namespace tb::platform {
namespace {

constexpr unsigned batch = 64;
// A file of more extents than this is badly fragmented; an answer from its
// first 64 × 256 extents is good enough for advice.
constexpr int maxBatches = 256;

FileDescriptor openRegular(const std::string& path) {
    FileDescriptor file(openRetrying(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (file.valid() && (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)))
        return FileDescriptor();
    return file;
}

class FiemapReader final : public ExtentReader {
public:
    std::optional<std::uint64_t> firstSharedExtent(const std::string& path) const override {
        FileDescriptor file = openRegular(path);
        if (!file.valid()) return std::nullopt;
        alignas(fiemap) unsigned char buffer[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
        auto* map = reinterpret_cast<fiemap*>(buffer);
        map->fm_length = FIEMAP_MAX_OFFSET;
        map->fm_extent_count = 1;
        if (::ioctl(file.get(), FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents != 1) {
            return std::nullopt;
        }
        // An extent the file system has not placed yet has no address.
        const fiemap_extent& first = map->fm_extents[0];
        if (!(first.fe_flags & FIEMAP_EXTENT_SHARED) || (first.fe_flags & FIEMAP_EXTENT_UNKNOWN)) {
            return std::nullopt;
        }
        return first.fe_physical;
    }

    std::optional<bool> hasHoles(const std::string& path) const override {
        FileDescriptor file = openRegular(path);
        struct stat st {};
        if (!file.valid() || ::fstat(file.get(), &st) != 0) return std::nullopt;
        // A file system without hole reporting answers with the end: no hole.
        const off_t hole = ::lseek(file.get(), 0, SEEK_HOLE);
        if (hole < 0) return std::nullopt;
        return hole < st.st_size;
    }

    std::optional<bool> hasSharedExtents(const std::string& path) const override {
        FileDescriptor file = openRegular(path);
        if (!file.valid()) return std::nullopt;

        const std::size_t bytes = sizeof(fiemap) + batch * sizeof(fiemap_extent);
        std::unique_ptr<void, decltype(&std::free)> buffer(std::calloc(1, bytes), &std::free);
        if (!buffer) return std::nullopt;
        auto* map = static_cast<fiemap*>(buffer.get());
        std::uint64_t start = 0;
        for (int round = 0; round < maxBatches; ++round) {
            *map = fiemap{};
            map->fm_start = start;
            map->fm_length = FIEMAP_MAX_OFFSET - start;
            map->fm_extent_count = batch;
            if (::ioctl(file.get(), FS_IOC_FIEMAP, map) != 0) return std::nullopt;
            if (map->fm_mapped_extents == 0) return false;
            for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
                const fiemap_extent& e = map->fm_extents[i];
                if (e.fe_flags & FIEMAP_EXTENT_SHARED) return true;
                if (e.fe_flags & FIEMAP_EXTENT_LAST) return false;
                start = e.fe_logical + e.fe_length;
            }
        }
        return false;
    }
};

} // namespace

const ExtentReader& systemExtentReader() {
    static const FiemapReader reader;
    return reader;
}

} // namespace tb::platform
