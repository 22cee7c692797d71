#include "scan/node_arena.h"

#include <algorithm>
#include <cstring>

namespace tb {

template <typename T>
T* NodeArena::Chunks<T>::take(std::size_t count, std::size_t chunkSize) {
    if (chunks.empty() || used + count > capacity) {
        const std::size_t size = std::max(chunkSize, count);
        chunks.push_back(std::unique_ptr<T[]>(new T[size]));
        sizes.push_back(size);
        used = 0;
        capacity = size;
    }
    T* out = chunks.back().get() + used;
    used += count;
    return out;
}

NodeArena::~NodeArena() = default;

const char* NodeArena::storeBytes(std::string_view bytes) {
    if (bytes.empty()) return "";
    char* out = bytes_.take(bytes.size(), 256 * 1024);
    std::memcpy(out, bytes.data(), bytes.size());
    return out;
}

ScanNode* NodeArena::make(const NodeFields& f) {
    ScanNode* n = nodes_.take(1, 4096);
    n->id_ = f.id ? *f.id : Uuid::random();
    n->path_ = storeBytes(f.path);
    n->pathLen_ = static_cast<std::uint32_t>(f.path.size());
    // The name is nearly always the path's tail: share those bytes.
    if (f.name.size() <= f.path.size() &&
        f.path.substr(f.path.size() - f.name.size()) == f.name) {
        n->name_ = n->path_ + (f.path.size() - f.name.size());
    } else {
        n->name_ = storeBytes(f.name);
    }
    n->nameLen_ = static_cast<std::uint32_t>(f.name.size());
    n->isDirectory_ = f.isDirectory;
    n->inode_ = f.inode;
    n->modifiedSeconds_ = f.modified.seconds;
    n->modifiedNanos_ = f.modified.nanoseconds;
    n->mayShareBlocks_ = f.mayShareBlocks;
    n->logicalSize_ = f.logicalSize;
    n->allocatedSize_ = f.allocatedSize;
    n->unreadable_ = f.unreadable;
    n->children_ = nullptr;
    n->childCount_ = 0;
    ++nodeCount_;
    return n;
}

void NodeArena::setChildren(ScanNode* parent, std::span<ScanNode* const> children) {
    if (children.empty()) {
        parent->children_ = nullptr;
        parent->childCount_ = 0;
        return;
    }
    ScanNode** out = pointers_.take(children.size(), 32 * 1024);
    std::copy(children.begin(), children.end(), out);
    parent->children_ = out;
    parent->childCount_ = static_cast<std::uint32_t>(children.size());
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
    move(nodes_, other.nodes_);
    move(bytes_, other.bytes_);
    move(pointers_, other.pointers_);
    nodeCount_ += other.nodeCount_;
    other.nodeCount_ = 0;
}

std::size_t NodeArena::bytesReserved() const {
    std::size_t total = 0;
    for (auto s : nodes_.sizes) total += s * sizeof(ScanNode);
    for (auto s : bytes_.sizes) total += s;
    for (auto s : pointers_.sizes) total += s * sizeof(ScanNode*);
    return total;
}

} // namespace tb
