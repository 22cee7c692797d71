#include "scan/node_arena.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tb {

namespace {

constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kLargestBlock = 2 * 1024 * 1024;
constexpr std::size_t kAlign = alignof(ScanNode);

// Plain pages, not huge ones: each walker's last block is only partly
// filled, and a huge page is resident whole once touched (8 workers left
// about 8 MB of untouched node room resident on a million-entry scan).
void* allocateBlock(std::size_t bytes) {
    void* p = std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    return p;
}

} // namespace

void NodeArena::FreeBlock::operator()(void* p) const noexcept {
    std::free(p);
}

void* NodeArena::Chunks::take(std::size_t bytes) {
    bytes = (bytes + kAlign - 1) / kAlign * kAlign;
    if (chunks.empty() || used + bytes > capacity) {
        // Each block doubles the last, up to the largest size.
        std::size_t size = sizes.empty() ? kFirstBlock : std::min(sizes.back() * 2, kLargestBlock);
        if (size < bytes) size = (bytes + kLargestBlock - 1) / kLargestBlock * kLargestBlock;
        chunks.emplace_back(allocateBlock(size));
        sizes.push_back(size);
        used = 0;
        capacity = size;
    }
    void* out = static_cast<char*>(chunks.back().get()) + used;
    used += bytes;
    return out;
}

NodeArena::~NodeArena() = default;

ScanNode* NodeArena::make(const NodeFields& f) {
    // The name's length and bytes run on from the node's last field, then a
    // folder's child slot; a node without a parent keeps its path last.
    constexpr std::size_t nameAt = offsetof(ScanNode, nameHead_);
    // No file system's names come near the 26 bits a length may take.
    const std::uint32_t nameLen =
        static_cast<std::uint32_t>(std::min<std::size_t>(f.name.size(), (1u << 26) - 1));
    const bool longName = nameLen >= ScanNode::kLongName;
    const std::size_t lengthBytes = longName ? 1 + sizeof nameLen : 1;
    const bool ownsPath = f.parent == nullptr;
    const std::uint32_t pathLen = ownsPath ? static_cast<std::uint32_t>(f.path.size()) : 0;
    std::size_t bytes = nameAt + lengthBytes + nameLen;
    // A folder's child slot, aligned, after the name.
    const std::size_t slotAt = (bytes + alignof(ScanNode*) - 1) & ~(alignof(ScanNode*) - 1);
    if (f.isDirectory) bytes = slotAt + sizeof(ScanNode*);
    const std::size_t pathAt = bytes;
    if (ownsPath) bytes += sizeof pathLen + pathLen;
    void* at = chunks_.take(std::max(bytes, sizeof(ScanNode)));
    ScanNode* n = new (at) ScanNode();
    char* tail = static_cast<char*>(at) + nameAt;
    if (longName) {
        tail[0] = static_cast<char>(ScanNode::kLongName);
        std::memcpy(tail + 1, &nameLen, sizeof nameLen);
    } else {
        tail[0] = static_cast<char>(nameLen);
    }
    tail += lengthBytes;
    if (nameLen) std::memcpy(tail, f.name.data(), nameLen);
    char* node = static_cast<char*>(at);
    if (f.isDirectory) std::memset(node + slotAt, 0, sizeof(ScanNode*));
    if (ownsPath) {
        std::memcpy(node + pathAt, &pathLen, sizeof pathLen);
        if (pathLen) std::memcpy(node + pathAt + sizeof pathLen, f.path.data(), pathLen);
    }
    n->serial_ = f.id ? ScanNode::serialOf(*f.id) : ScanNode::nextSerial();
    n->setFlag(ScanNode::kOwnsPath, ownsPath);
    n->parent_ = f.parent;
    n->isDirectory_ = f.isDirectory;
    n->inode_ = f.inode;
    n->setModifiedSeconds(f.modified.seconds);
    n->modifiedNanos_ =
        static_cast<std::uint32_t>(std::clamp(f.modified.nanoseconds, 0, 999'999'999));
    n->mayShareBlocks_ = f.mayShareBlocks;
    n->logicalSize_ = f.logicalSize;
    n->allocatedSize_ = f.allocatedSize;
    n->setFlag(ScanNode::kUnreadable, f.unreadable);
    ++nodeCount_;
    return n;
}

void NodeArena::setChildren(ScanNode* parent, std::span<ScanNode* const> children) {
    // Only a folder has room for children; the readers never give a file any.
    if (!parent->isDirectory_) return;
    char* slot = reinterpret_cast<char*>(parent) + parent->afterName();
    if (children.empty()) {
        std::memset(slot, 0, sizeof(ScanNode*));
        return;
    }
    // The count first, then the children.
    const std::size_t count = children.size();
    auto* block = static_cast<char*>(chunks_.take(sizeof count + count * sizeof(ScanNode*)));
    std::memcpy(block, &count, sizeof count);
    auto* out = reinterpret_cast<ScanNode**>(block + sizeof count);
    std::copy(children.begin(), children.end(), out);
    for (ScanNode* c : children)
        c->parent_ = parent;
    std::memcpy(slot, &out, sizeof out);
}

void NodeArena::adopt(NodeArena&& other) {
    auto move = [](auto& into, auto& from) {
        // Keep our own last chunk last so that it stays the one we fill.
        auto lastChunk = into.chunks.empty() ? nullptr : std::move(into.chunks.back());
        std::size_t lastSize = into.sizes.empty() ? 0 : into.sizes.back();
        if (!into.chunks.empty()) {
            into.chunks.pop_back();
            into.sizes.pop_back();
        }
        for (std::size_t i = 0; i < from.chunks.size(); ++i) {
            into.chunks.push_back(std::move(from.chunks[i]));
            into.sizes.push_back(from.sizes[i]);
        }
        if (lastChunk) {
            into.chunks.push_back(std::move(lastChunk));
            into.sizes.push_back(lastSize);
        }
        from.chunks.clear();
        from.sizes.clear();
        from.used = from.capacity = 0;
    };
    move(chunks_, other.chunks_);
    nodeCount_ += other.nodeCount_;
    other.nodeCount_ = 0;
}

std::size_t NodeArena::bytesReserved() const {
    std::size_t total = 0;
    for (auto s : chunks_.sizes)
        total += s;
    return total;
}

} // namespace tb
