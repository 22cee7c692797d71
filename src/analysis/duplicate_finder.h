// Sets of files in a scan with byte-for-byte identical contents, established
// by a full SHA-256 digest of each candidate. Only files sharing their exact
// logical size (above 4096 bytes) with another one are read, one file after
// another. Blocking: run it on a background task; it reads only the node
// list it is given, whose forest must stay alive meanwhile.
#pragma once

#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace tb {

class ScanNode;
namespace platform {
class ContentReader;
class ExtentReader;
} // namespace platform

struct DuplicateGroup {
    std::string id;                 // SHA-256 of the content, 64 lowercase hexadecimal digits
    std::int64_t size = 0;          // logical size of each file
    std::vector<std::string> paths; // two or more, in node-list order

    bool operator==(const DuplicateGroup&) const = default;
};

struct DuplicateSearch {
    // When requested, the search ends between two reads and returns the
    // groups of the sizes it finished.
    std::stop_token stop;
    // The real file system when null.
    const platform::ContentReader* reader = nullptr;
    // Likewise: tells reflink copies, which share their blocks, apart.
    const platform::ExtentReader* extents = nullptr;
};

struct DuplicateStats {
    std::int64_t bytesHashed = 0; // content fed to full digests
    std::int64_t filesHashed = 0;
    std::int64_t headsRead = 0; // files ruled out or kept by their first bytes
};

namespace DuplicateFinder {

inline constexpr int defaultLimit = 40;
inline constexpr std::int64_t minimumSize = 4096; // files must be strictly larger

// Copies that share their storage count once: hard links to one inode, and
// reflink copies whose first extent is the same shared block.
// Largest total (size × copies) first. The limit is checked between sizes,
// so the result may hold more groups than `limit`; none is cut short.
std::vector<DuplicateGroup> groups(std::span<const ScanNode* const> nodes, int limit,
                                   const DuplicateSearch& search = {},
                                   DuplicateStats* stats = nullptr);
// The node and all its descendants.
std::vector<DuplicateGroup> groups(const ScanNode& subtree, int limit = defaultLimit,
                                   const DuplicateSearch& search = {});

} // namespace DuplicateFinder

} // namespace tb
