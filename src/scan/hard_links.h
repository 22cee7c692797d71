// Files that have more than one name in a scanned tree (hard links), kept
// beside the tree rather than in every node: only the few files whose link
// count is above 1 take room here. Built once while a forest is assembled;
// read-only afterwards, from any thread.
//
// In `once` mode each file counts under one name only, the one whose path
// sorts first in byte order, so the same tree gives the same folder totals
// whichever worker listed what first; its other names count 0. In `every`
// mode each name counts in full.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "scan/scan_node.h"

namespace tb {

enum class HardLinkMode { once, every };
std::string_view rawValue(HardLinkMode mode);
std::optional<HardLinkMode> hardLinkMode(std::string_view raw);

// One name of a file with several, as the walk listed it.
struct LinkedName {
    ScanNode* node = nullptr;
    std::uint64_t device = 0;
    std::uint32_t linkCount = 0; // names the file has on its volume
};

class HardLinks {
public:
    struct File {
        std::int64_t logicalSize = 0;
        std::int64_t allocatedSize = 0;
        // Names on the volume; at least the names the tree holds.
        std::uint32_t linkCount = 0;
        std::uint32_t firstName = 0; // into the name list
        std::uint32_t nameCount = 0; // in the tree; the counted one first
    };

    HardLinks() = default;

    // Groups the walk's names by (device, inode). In `once` mode every name
    // but the counted one is made to count 0, with its folders' totals
    // lowered to match; the folders' child order is then the caller's to
    // restore (ScanNode::sortBySize).
    static HardLinks settle(std::vector<LinkedName> names, HardLinkMode mode);
    // For a tree read back from a store, which keeps no link counts nor
    // devices: files whose inode and modification time agree are one file,
    // known by the names found. Sizes are taken as they are; folders among
    // `nodes` are passed over.
    static HardLinks recognise(std::span<const ScanNode* const> nodes, HardLinkMode mode);

    HardLinkMode mode() const { return mode_; }
    std::size_t fileCount() const { return files_.size(); }
    // The file behind a name; nothing for a node with a single name.
    const File* file(const ScanNode* name) const;
    // The counted name first, then the others in path order.
    std::span<const ScanNode* const> names(const File& file) const;

    // Bytes on disk that moving all of `items` away would give back: the
    // files every name of which lies in one of them (an item or below it).
    // Items must not hold one another.
    std::int64_t freedBy(std::span<const ScanNode* const> items) const;

private:
    void add(std::vector<ScanNode*>& group, std::uint32_t linkCount);

    HardLinkMode mode_ = HardLinkMode::every;
    std::vector<File> files_;
    std::vector<const ScanNode*> names_;
    std::unordered_map<const ScanNode*, std::uint32_t> fileOf_; // name -> index into files_
};

} // namespace tb
