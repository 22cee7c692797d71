#include "scan/scan_node.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "base/tree.h"
#include "scan/byte_sum.h"

namespace tb {

namespace {

// The upper half of every node's identity in this process; the serial is
// the lower half. Random, so a bucket's identity made by mixing a node's with
// another constant stays apart from every node's.
const std::uint64_t kIdentityPrefix = [] {
    std::uint64_t prefix;
    const Uuid random = Uuid::random();
    std::memcpy(&prefix, random.bytes.data(), sizeof prefix);
    return prefix;
}();

std::atomic<std::uint64_t> nextSerialBlock{1};

} // namespace

const ScanNode::EmptyChildren ScanNode::kNoChildren{};

std::uint64_t ScanNode::nextSerial() {
    // The walk's workers make nodes at once: each takes serials in blocks.
    constexpr std::uint64_t kBlock = 4096;
    thread_local std::uint64_t next = 0, end = 0;
    if (next == end) {
        next = nextSerialBlock.fetch_add(kBlock, std::memory_order_relaxed);
        end = next + kBlock;
    }
    return next++;
}

std::uint64_t ScanNode::serialOf(const Uuid& id) {
    std::uint64_t prefix, serial;
    std::memcpy(&prefix, id.bytes.data(), sizeof prefix);
    std::memcpy(&serial, id.bytes.data() + 8, sizeof serial);
    // Only a node's own identity can be kept; anything else gets a new one.
    return prefix == kIdentityPrefix && serial != 0 ? serial : nextSerial();
}

Uuid ScanNode::id() const {
    Uuid out;
    std::memcpy(out.bytes.data(), &kIdentityPrefix, sizeof kIdentityPrefix);
    std::memcpy(out.bytes.data() + 8, &serial_, sizeof serial_);
    return out;
}

void ScanNode::extendParentPath(std::string& path) const {
    if (flag(kOwnsPath) || !parent_) {
        path.clear();
        appendPath(path);
        return;
    }
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name());
}

bool ScanNode::hasPath(std::string_view path) const {
    const ScanNode* n = this;
    while (!n->flag(kOwnsPath) && n->parent_) {
        const std::string_view name = n->name();
        if (path.size() <= name.size() || !path.ends_with(name)) return false;
        path.remove_suffix(name.size());
        if (path.back() != '/') return false;
        n = n->parent_;
        const bool top = n->flag(kOwnsPath) || !n->parent_;
        const std::string_view head = n->flag(kOwnsPath) ? n->storedPath() : n->name();
        // Below "/" the separator is the root's own.
        if (top && head.ends_with('/')) return path == head;
        path.remove_suffix(1);
    }
    return path == (n->flag(kOwnsPath) ? n->storedPath() : n->name());
}

std::string_view ScanNode::storedPath() const {
    if (!flag(kOwnsPath)) return {};
    const char* at = isDirectory_
                         ? reinterpret_cast<const char*>(this) + afterName() + sizeof(ScanNode*)
                         : nameBytes() + nameLength();
    std::uint32_t length;
    std::memcpy(&length, at, sizeof length);
    return {at + sizeof length, length};
}

std::string ScanNode::path() const {
    std::string out;
    appendPath(out);
    return out;
}

void ScanNode::appendPath(std::string& out) const {
    // Names from the nearest node that knows its whole path down to this one.
    const ScanNode* top = this;
    std::size_t length = 0;
    while (!top->flag(kOwnsPath) && top->parent_) {
        length += top->nameLength() + 1;
        top = top->parent_;
    }
    const std::string_view head = top->flag(kOwnsPath) ? top->storedPath() : top->name();
    out.reserve(out.size() + head.size() + length);
    const std::size_t start = out.size();
    out.append(head);
    if (top == this) return;
    const std::size_t base = out.size();
    out.resize(base + length);
    // Filled from the end: this node's name last.
    std::size_t end = out.size();
    for (const ScanNode* n = this; n != top; n = n->parent_) {
        const std::string_view name = n->name();
        end -= name.size();
        std::memcpy(out.data() + end, name.data(), name.size());
        out[--end] = '/';
    }
    // Below "/" the separator is already there.
    if (base > start && out[base - 1] == '/') out.erase(base, 1);
}

void ScanNode::rollup() {
    if (!isDirectory_) return;
    // Post-order without recursion: a folder is summed once all of its
    // children have been (the second time it is seen on the stack).
    struct Frame {
        ScanNode* node;
        bool expanded;
    };
    std::vector<Frame> stack{{this, false}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        ScanNode* n = top.node;
        if (!n->isDirectory_) {
            stack.pop_back();
            continue;
        }
        if (!top.expanded) {
            top.expanded = true;
            for (ScanNode* c : n->children()) {
                if (c->isDirectory_) stack.push_back({c, false});
            }
            continue;
        }
        n->settle();
        stack.pop_back();
    }
}

void ScanNode::settle() {
    std::int64_t logical = 0, allocated = 0;
    for (const ScanNode* c : children()) {
        logical = addBytes(logical, c->logicalSize_);
        allocated = addBytes(allocated, c->allocatedSize_);
    }
    logicalSize_ = logical;
    allocatedSize_ = allocated;
    sortChildren();
}

void ScanNode::countElsewhere() {
    if (flag(kCountedElsewhere) || isDirectory_) return;
    // The folders above are this tree's own nodes, not const objects.
    for (auto* p = const_cast<ScanNode*>(parent_); p; p = const_cast<ScanNode*>(p->parent_)) {
        p->logicalSize_ = addBytes(p->logicalSize_, -logicalSize_);
        p->allocatedSize_ = addBytes(p->allocatedSize_, -allocatedSize_);
    }
    logicalSize_ = allocatedSize_ = 0;
    setFlag(kCountedElsewhere, true);
    setFlag(kLinked, true);
}

void ScanNode::sortChildren() {
    auto larger = [](const ScanNode* a, const ScanNode* b) {
        return a->allocatedSize_ > b->allocatedSize_;
    };
    // A tree the walk rolled up is in order already; checking is cheaper
    // than a stable sort's buffer.
    ScanNode** first = childArray();
    const std::size_t count = childCount(first);
    if (count < 2 || std::is_sorted(first, first + count, larger)) return;
    std::stable_sort(first, first + count, larger);
}

void ScanNode::sortBySize() {
    std::vector<ScanNode*> stack{this};
    while (!stack.empty()) {
        ScanNode* n = stack.back();
        stack.pop_back();
        n->sortChildren();
        for (ScanNode* c : n->children()) {
            if (!c->children().empty()) stack.push_back(c);
        }
    }
}

std::vector<const ScanNode*> ScanNode::flattened() const {
    return Tree::flattened(this);
}

} // namespace tb
