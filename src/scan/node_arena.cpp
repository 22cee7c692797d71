#include "scan/node_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tb {

namespace {

constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kHugeBlock = 2 * 1024 * 1024;

void* allocateBlock(std::size_t bytes) {
    void* p = nullptr;
    if (bytes >= kHugeBlock) {
        p = std::aligned_alloc(kHugeBlock, bytes);
        if (p) ::madvise(p, bytes, MADV_HUGEPAGE);
    } else {
        p = std::malloc(bytes);
    }
    if (!p) throw std::bad_alloc();
    return p;
}

} // namespace

void NodeArena::FreeBlock::operator()(void* p) const noexcept { std::free(p); }

template <typename T>
T* NodeArena::Chunks<T>::take(std::size_t count) {
    if (chunks.empty() || used + count > capacity) {
        // Each block doubles the last, up to the huge-page size.
        std::size_t bytes = sizes.empty() ? kFirstBlock : std::min(sizes.back() * 2, kHugeBlock);
        if (bytes < count * sizeof(T)) {
            bytes = (count * sizeof(T) + kHugeBlock - 1) / kHugeBlock * kHugeBlock;
        }
        chunks.emplace_back(allocateBlock(bytes));
        sizes.push_back(bytes);
        used = 0;
        capacity = bytes / sizeof(T);
    }
    T* out = static_cast<T*>(chunks.back().get()) + used;
    used += count;
    return out;
}

NodeArena::~NodeArena() = default;

const char* NodeArena::storeBytes(std::string_view bytes) {
    if (bytes.empty()) return "";
    char* out = bytes_.take(bytes.size());
    std::memcpy(out, bytes.data(), bytes.size());
    return out;
}

ScanNode* NodeArena::make(const NodeFields& f) {
    ScanNode* n = new (nodes_.take(1)) ScanNode();
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
    ScanNode** out = pointers_.take(children.size());
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
    for (auto s : nodes_.sizes) total += s;
    for (auto s : bytes_.sizes) total += s;
    for (auto s : pointers_.sizes) total += s;
    return total;
}

} // namespace tb
