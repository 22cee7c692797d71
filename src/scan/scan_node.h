// One file or folder of a scanned tree. Nodes live in a NodeArena and are
// handed around as plain pointers; whoever keeps a pointer keeps the arena
// (a ScanForest or a NodeTree) alive. Equality and hashing use `id` alone.
// Nodes are mutated (sizes, children order) only while a tree is being built;
// once a forest is published they are read from any thread without locks.
//
// A million-entry scan keeps a million of these, so a node holds its name
// and its parent, not its path: `path` is rebuilt from the names above it.
// The name's bytes follow the node in the arena, and only a folder has room
// for its children after them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/date.h"
#include "base/uuid.h"
#include "scan/exclude_rules.h"

namespace tb {

class NodeArena;

class ScanNode {
public:
    // Unique within the process, and kept by a forest's edits; not stored.
    Uuid id() const;
    // The item's absolute path (raw bytes); `url` and `path` are the same bytes.
    // Built on each call: keep the string, not a view into it.
    std::string url() const { return path(); }
    std::string path() const;
    // Appends the path to `out`: for loops over many nodes, without a
    // string per node.
    void appendPath(std::string& out) const;
    // Turns `path`, the parent's path, into this node's: for a walk that
    // holds the parent's path, the cost is the name, not the whole chain.
    void extendParentPath(std::string& path) const;
    // Whether `path()` equals `path`, without building it.
    bool hasPath(std::string_view path) const;
    std::string_view name() const { return {nameBytes(), nameLength()}; }
    // The folder this node was listed in; nullptr for a root.
    const ScanNode* parent() const { return parent_; }
    bool isDirectory() const { return isDirectory_; }
    std::uint64_t inode() const { return inode_; }
    Date modified() const {
        return Date{timeAndFlags_ >> kFlagBits, static_cast<std::int32_t>(modifiedNanos_)};
    }
    bool mayShareBlocks() const { return mayShareBlocks_; }
    std::int64_t logicalSize() const { return logicalSize_; }
    std::int64_t allocatedSize() const { return allocatedSize_; }
    bool unreadable() const { return flag(kUnreadable); }
    // Listed but not walked: an excluded item or a mount not entered. Its
    // sizes are 0, a folder's children none.
    LeftOutKind leftOut() const { return static_cast<LeftOutKind>(timeAndFlags_ & kLeftOutMask); }
    // A file with more than one name (hard links); the forest's HardLinks
    // knows them all.
    bool hasOtherNames() const { return flag(kLinked); }
    // One of those names whose bytes are counted under another: its own
    // sizes are 0 and the folders above it leave the file out.
    bool countedElsewhere() const { return flag(kCountedElsewhere); }
    std::span<ScanNode* const> children() const {
        ScanNode** first = childArray();
        return {first, childCount(first)};
    }

    void setLogicalSize(std::int64_t v) { logicalSize_ = v; }
    void setAllocatedSize(std::int64_t v) { allocatedSize_ = v; }
    void setUnreadable(bool v) { setFlag(kUnreadable, v); }
    void setLeftOut(LeftOutKind k) {
        timeAndFlags_ =
            (timeAndFlags_ & ~kLeftOutMask) | (static_cast<std::int64_t>(k) & kLeftOutMask);
    }
    void markOtherNames() { setFlag(kLinked, true); }
    // Seconds the node can keep: the range of a 58-bit count, some 4.5
    // billion years either side of 1970. Dates beyond it are clamped.
    static constexpr std::int64_t kLatestSeconds = (std::int64_t{1} << 57) - 1;
    static constexpr std::int64_t kEarliestSeconds = -(std::int64_t{1} << 57);
    // Takes this file's sizes off every folder above it and makes them 0 here.
    void countElsewhere();

    // Folder sizes become the sums over their children (files keep theirs),
    // and each folder's children are then ordered as sortBySize orders them:
    // the children are at hand, which spares a second pass over the tree.
    // Iterative: the depth is the file system's to choose.
    void rollup();
    // What rollup does for one folder, once its subfolders are settled: for
    // a walk that sees folders complete one at a time.
    void settle();
    // Every folder's children by allocatedSize, largest first, stable.
    void sortBySize();
    // Pre-order with an explicit stack: the node first, then each folder's
    // children from the last to the first.
    std::vector<const ScanNode*> flattened() const;

    bool operator==(const ScanNode& other) const { return serial_ == other.serial_; }

private:
    friend class NodeArena;
    friend struct ScanNodeHash;
    ScanNode() = default;
    // A root (or a node made without a parent) keeps its whole path after
    // its name (and a folder's child slot): a 32-bit length, then the bytes.
    std::string_view storedPath() const;
    void sortChildren();
    const char* nameBytes() const;
    std::uint32_t nameLength() const;
    // Where the name ends, rounded up to a pointer's alignment: a folder's
    // slot for its children's array.
    std::size_t afterName() const;
    ScanNode** childArray() const;
    static std::size_t childCount(ScanNode** first);
    struct EmptyChildren {
        std::size_t count = 0;
        ScanNode* first = nullptr;
    };
    static const EmptyChildren kNoChildren;
    // Where a node's identity comes from, and back.
    static std::uint64_t nextSerial();
    static std::uint64_t serialOf(const Uuid& id);

    // The modification seconds share a word with six flags, a name shorter
    // than 255 bytes costs one byte of length, the identity is a 64-bit
    // serial and a file keeps no child pointer: a file with an 11-byte name
    // takes 64 bytes, with a 24-byte name 80.
    static constexpr int kFlagBits = 6;
    static constexpr std::int64_t kLeftOutMask = 3;
    static constexpr std::int64_t kLinked = 1 << 2;
    static constexpr std::int64_t kCountedElsewhere = 1 << 3;
    static constexpr std::int64_t kUnreadable = 1 << 4;
    static constexpr std::int64_t kOwnsPath = 1 << 5;
    // Longer names keep this byte, then a 32-bit length.
    static constexpr unsigned char kLongName = 255;
    bool flag(std::int64_t bit) const { return (timeAndFlags_ & bit) != 0; }
    void setFlag(std::int64_t bit, bool on) {
        timeAndFlags_ = on ? (timeAndFlags_ | bit) : (timeAndFlags_ & ~bit);
    }
    void setModifiedSeconds(std::int64_t seconds);

    std::uint64_t serial_ = 0;
    std::uint64_t inode_ = 0;
    std::int64_t timeAndFlags_ = Date::kDistantPastSeconds * (std::int64_t{1} << kFlagBits);
    std::int64_t logicalSize_ = 0;
    std::int64_t allocatedSize_ = 0;
    const ScanNode* parent_ = nullptr;
    std::uint32_t modifiedNanos_ : 30 = 0;
    std::uint32_t isDirectory_ : 1 = 0;
    std::uint32_t mayShareBlocks_ : 1 = 0;
    // The name's length byte and first bytes; the rest run on past the node.
    char nameHead_[4] = {};
};

inline std::uint32_t ScanNode::nameLength() const {
    const auto head = static_cast<unsigned char>(nameHead_[0]);
    if (head != kLongName) return head;
    std::uint32_t length;
    std::memcpy(&length, reinterpret_cast<const char*>(this) + offsetof(ScanNode, nameHead_) + 1,
                sizeof length);
    return length;
}

inline const char* ScanNode::nameBytes() const {
    const auto head = static_cast<unsigned char>(nameHead_[0]);
    return reinterpret_cast<const char*>(this) + offsetof(ScanNode, nameHead_) +
           (head == kLongName ? 1 + sizeof(std::uint32_t) : 1);
}

inline std::size_t ScanNode::afterName() const {
    const std::size_t end =
        static_cast<std::size_t>(nameBytes() - reinterpret_cast<const char*>(this)) + nameLength();
    return (end + alignof(ScanNode*) - 1) & ~(alignof(ScanNode*) - 1);
}

// The array's first child; the child count is kept in the word before it.
// A file, or a folder without children, points into a shared empty list, so
// the span is never null.
inline ScanNode** ScanNode::childArray() const {
    ScanNode** first = nullptr;
    if (isDirectory_)
        std::memcpy(&first, reinterpret_cast<const char*>(this) + afterName(), sizeof first);
    return first ? first : const_cast<ScanNode**>(&kNoChildren.first);
}

inline std::size_t ScanNode::childCount(ScanNode** first) {
    std::size_t count;
    std::memcpy(&count, reinterpret_cast<const char*>(first) - sizeof count, sizeof count);
    return count;
}

inline void ScanNode::setModifiedSeconds(std::int64_t seconds) {
    seconds = std::clamp(seconds, kEarliestSeconds, kLatestSeconds);
    timeAndFlags_ = seconds * (std::int64_t{1} << kFlagBits) +
                    (timeAndFlags_ & ((std::int64_t{1} << kFlagBits) - 1));
}

struct ScanNodeHash {
    std::size_t operator()(const ScanNode* n) const noexcept {
        return n->serial_ * 0x9E3779B97F4A7C15ull;
    }
};

} // namespace tb
