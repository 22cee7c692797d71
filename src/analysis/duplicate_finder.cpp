#include "analysis/duplicate_finder.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "analysis/text.h"
#include "platform/extent_reader.h"
#include "platform/file_digest.h"
#include "scan/scan_node.h"

namespace tb::DuplicateFinder {
namespace {

// Files at least this large are first compared by their leading bytes: two
// files whose first 4 KiB differ cannot share a digest, and reading 4 KiB
// costs far less than hashing the whole file. Smaller files are hashed at
// once, since a second open would cost about as much as it saves. The groups
// are still established by full digests only.
constexpr std::int64_t headCheckMinimumSize = 64 * 1024;
constexpr std::size_t headLength = 4096;

using Files = std::vector<const ScanNode*>;

// Storage that only one file of the bucket holds cannot form a group; hard
// links to one inode are one storage. Inode 0 is unknown and never shared.
std::size_t distinctStorage(const Files& files) {
    std::unordered_set<std::uint64_t> inodes;
    std::size_t unknown = 0;
    for (const ScanNode* f : files) {
        if (f->inode() == 0)
            ++unknown;
        else
            inodes.insert(f->inode());
    }
    return inodes.size() + unknown;
}

// The files whose first bytes match those of a file with other storage.
Files withSharedHead(const Files& files, const platform::ContentReader& reader,
                     const std::stop_token& stop, DuplicateStats& stats) {
    std::vector<std::optional<std::string>> heads(files.size());
    std::unordered_map<std::uint64_t, std::size_t> firstWithInode;
    std::map<std::string, Files> byHead;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (stop.stop_requested()) return {};
        const ScanNode* f = files[i];
        if (f->inode() != 0) {
            auto [it, inserted] = firstWithInode.emplace(f->inode(), i);
            if (!inserted && heads[it->second]) {
                heads[i] = heads[it->second];
            }
        }
        if (!heads[i]) {
            heads[i] = reader.head(std::string(f->path()), headLength);
            ++stats.headsRead;
        }
        if (heads[i]) byHead[*heads[i]].push_back(f);
    }
    std::unordered_set<const ScanNode*> keep;
    for (const auto& [head, sameHead] : byHead) {
        if (distinctStorage(sameHead) >= 2) keep.insert(sameHead.begin(), sameHead.end());
    }
    Files kept;
    for (const ScanNode* f : files) {
        if (keep.count(f)) kept.push_back(f);
    }
    return kept;
}

// Digests one size bucket, in the bucket's order, and appends its groups.
// False when stopped before the bucket was finished.
bool matchBucket(std::int64_t size, const Files& files, const platform::ContentReader& reader,
                 const platform::ExtentReader& extents, const std::stop_token& stop,
                 DuplicateStats& stats, std::vector<DuplicateGroup>& groups) {
    struct Match {
        std::unordered_set<std::uint64_t> inodes;
        std::unordered_set<std::uint64_t> sharedBlocks;
        std::vector<std::string> paths;
    };
    std::vector<std::pair<std::string, Match>> matches; // in order of first sight
    std::unordered_map<std::string, std::size_t> byDigest;
    std::unordered_set<std::uint64_t> hashedInodes;

    for (const ScanNode* f : files) {
        if (stop.stop_requested()) return false;
        // A hard link to storage already hashed would be left out anyway.
        if (f->inode() != 0 && hashedInodes.count(f->inode())) continue;
        std::string path(f->path());
        const auto digest = reader.digest(path, stop);
        if (!digest) continue;
        stats.bytesHashed += digest->bytesRead;
        ++stats.filesHashed;
        // A file that changed length since the scan is not the file the scan
        // saw; its group would claim the wrong size.
        if (digest->bytesRead != size) continue;
        if (f->inode() != 0) hashedInodes.insert(f->inode());

        std::string hex = text::lowercaseHex(std::string_view(
            reinterpret_cast<const char*>(digest->sha256.data()), digest->sha256.size()));
        auto [it, inserted] = byDigest.emplace(hex, matches.size());
        if (inserted) matches.emplace_back(std::move(hex), Match{});
        Match& m = matches[it->second].second;
        if (f->inode() != 0 && !m.inodes.insert(f->inode()).second) continue;
        // Asked only once the contents match: one ioctl per file.
        if (const auto block = extents.firstSharedExtent(path);
            block && !m.sharedBlocks.insert(*block).second) {
            continue;
        }
        m.paths.push_back(std::move(path));
    }
    for (auto& [digest, m] : matches) {
        if (m.paths.size() >= 2) groups.push_back({digest, size, std::move(m.paths)});
    }
    return true;
}

} // namespace

std::vector<DuplicateGroup> groups(std::span<const ScanNode* const> nodes, int limit,
                                   const DuplicateSearch& search, DuplicateStats* statsOut) {
    const platform::ContentReader& reader =
        search.reader ? *search.reader : platform::systemContentReader();
    const platform::ExtentReader& extents =
        search.extents ? *search.extents : platform::systemExtentReader();
    DuplicateStats stats;

    std::unordered_map<std::int64_t, Files> bySize;
    for (const ScanNode* n : nodes) {
        if (n->isDirectory() || n->logicalSize() <= minimumSize) continue;
        bySize[n->logicalSize()].push_back(n);
    }
    // Largest sizes first, so that the limit keeps the weightiest groups.
    std::vector<std::int64_t> sizes;
    for (const auto& [size, files] : bySize) {
        if (files.size() >= 2) sizes.push_back(size);
    }
    std::sort(sizes.begin(), sizes.end(), std::greater<>());

    std::vector<DuplicateGroup> result;
    for (std::int64_t size : sizes) {
        if (static_cast<std::int64_t>(result.size()) >= limit || search.stop.stop_requested())
            break;
        Files files = std::move(bySize[size]);
        if (distinctStorage(files) < 2) continue;
        if (size >= headCheckMinimumSize) {
            files = withSharedHead(files, reader, search.stop, stats);
            if (distinctStorage(files) < 2) continue;
        }
        if (!matchBucket(size, files, reader, extents, search.stop, stats, result)) break;
    }

    std::stable_sort(
        result.begin(), result.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
            const auto total = [](const DuplicateGroup& g) {
                return static_cast<long double>(g.size) * static_cast<long double>(g.paths.size());
            };
            return total(a) > total(b);
        });
    if (statsOut) *statsOut = stats;
    return result;
}

std::vector<DuplicateGroup> groups(const ScanNode& subtree, int limit,
                                   const DuplicateSearch& search) {
    const auto nodes = subtree.flattened();
    return groups(std::span<const ScanNode* const>(nodes), limit, search);
}

} // namespace tb::DuplicateFinder
