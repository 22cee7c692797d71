// One file or folder of a scanned tree. Nodes live in a NodeArena and are
// handed around as plain pointers; whoever keeps a pointer keeps the arena
// (a ScanForest or a NodeTree) alive. Equality and hashing use `id` alone.
// Nodes are mutated (sizes, children order) only while a tree is being built;
// once a forest is published they are read from any thread without locks.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/date.h"
#include "base/uuid.h"

namespace tb {

class NodeArena;

class ScanNode {
public:
    const Uuid& id() const { return id_; }
    // The item's absolute path (raw bytes); `url` and `path` are the same bytes.
    std::string_view url() const { return {path_, pathLen_}; }
    std::string_view path() const { return {path_, pathLen_}; }
    std::string_view name() const { return {name_, nameLen_}; }
    bool isDirectory() const { return isDirectory_; }
    std::uint64_t inode() const { return inode_; }
    Date modified() const { return Date{modifiedSeconds_, modifiedNanos_}; }
    bool mayShareBlocks() const { return mayShareBlocks_; }
    std::int64_t logicalSize() const { return logicalSize_; }
    std::int64_t allocatedSize() const { return allocatedSize_; }
    bool unreadable() const { return unreadable_; }
    std::span<ScanNode* const> children() const { return {children_, childCount_}; }

    void setLogicalSize(std::int64_t v) { logicalSize_ = v; }
    void setAllocatedSize(std::int64_t v) { allocatedSize_ = v; }
    void setUnreadable(bool v) { unreadable_ = v; }

    // Folder sizes become the sums over their children (files keep theirs).
    // Iterative: the depth is the file system's to choose.
    void rollup();
    // Every folder's children by allocatedSize, largest first, stable.
    void sortBySize();
    // Pre-order with an explicit stack: the node first, then each folder's
    // children from the last to the first.
    std::vector<const ScanNode*> flattened() const;

    bool operator==(const ScanNode& other) const { return id_ == other.id_; }

private:
    friend class NodeArena;
    ScanNode() = default;

    Uuid id_;
    const char* path_ = nullptr;
    const char* name_ = nullptr;
    std::uint32_t pathLen_ = 0;
    std::uint32_t nameLen_ = 0;
    std::uint64_t inode_ = 0;
    std::int64_t modifiedSeconds_ = Date::kDistantPastSeconds;
    std::int64_t logicalSize_ = 0;
    std::int64_t allocatedSize_ = 0;
    ScanNode** children_ = nullptr;
    std::uint32_t childCount_ = 0;
    std::int32_t modifiedNanos_ = 0;
    bool isDirectory_ = false;
    bool mayShareBlocks_ = false;
    bool unreadable_ = false;
};

struct ScanNodeHash {
    std::size_t operator()(const ScanNode* n) const noexcept { return n->id().hashValue(); }
};

} // namespace tb
