// Owns the nodes, their names and child arrays of one scanned tree. Nodes never
// move once made, so pointers stay valid for the arena's lifetime. One arena
// is used by one thread at a time; the walk gives each worker its own and
// merges them with `adopt` at the end.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "scan/scan_node.h"

namespace tb {

struct NodeFields {
    std::string_view path; // absolute path, raw bytes; kept only without a parent
    std::string_view name; // display name; the last component of the path
    bool isDirectory = false;
    std::uint64_t inode = 0;
    Date modified = Date::distantPast();
    bool mayShareBlocks = false;
    std::int64_t logicalSize = 0;
    std::int64_t allocatedSize = 0;
    bool unreadable = false;
    std::optional<Uuid> id; // a fresh one when absent, or not a node's own
    // The folder the node was listed in: its path is then that folder's path
    // and the name, and `path` is not stored.
    const ScanNode* parent = nullptr;
};

class NodeArena {
public:
    NodeArena() = default;
    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;
    NodeArena(NodeArena&&) = default;
    NodeArena& operator=(NodeArena&&) = default;
    ~NodeArena();

    ScanNode* make(const NodeFields& fields);
    // Copies `children` into the arena and makes them the node's children
    // (and the node their parent).
    void setChildren(ScanNode* parent, std::span<ScanNode* const> children);
    // Takes over everything `other` owns; its nodes stay where they are.
    void adopt(NodeArena&& other);

    std::size_t nodeCount() const { return nodeCount_; }
    std::size_t bytesReserved() const;

private:
    struct FreeBlock {
        void operator()(void* p) const noexcept;
    };
    // Raw storage in blocks that grow from 64 KiB to 2 MiB. Nodes, names and
    // child arrays share one stream, so each walker's arena leaves one partly
    // filled block, not three. Objects are constructed by the caller.
    struct Chunks {
        std::vector<std::unique_ptr<void, FreeBlock>> chunks;
        std::vector<std::size_t> sizes; // in bytes
        std::size_t used = 0;           // bytes taken from the last chunk
        std::size_t capacity = 0;       // bytes the last chunk holds
        // `bytes` aligned for any node field.
        void* take(std::size_t bytes);
    };

    Chunks chunks_;
    std::size_t nodeCount_ = 0;
};

// A tree and the arena that keeps it alive.
struct NodeTree {
    std::shared_ptr<NodeArena> arena;
    ScanNode* root = nullptr;
};

} // namespace tb
