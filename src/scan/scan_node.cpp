#include "scan/scan_node.h"

#include <algorithm>
#include <cstring>

#include "scan/byte_sum.h"

namespace tb {

std::string_view ScanNode::storedPath() const {
    if (!flag(kOwnsPath)) return {};
    const char* at = nameBytes() + nameLength();
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
    const std::size_t count = childCount();
    if (count < 2 || std::is_sorted(children_, children_ + count, larger)) return;
    std::stable_sort(children_, children_ + count, larger);
}

void ScanNode::sortBySize() {
    std::vector<ScanNode*> stack{this};
    while (!stack.empty()) {
        ScanNode* n = stack.back();
        stack.pop_back();
        n->sortChildren();
        for (ScanNode* c : n->children()) {
            if (c->children_) stack.push_back(c);
        }
    }
}

std::vector<const ScanNode*> ScanNode::flattened() const {
    std::vector<const ScanNode*> result;
    std::vector<const ScanNode*> stack{this};
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        result.push_back(n);
        for (const ScanNode* c : n->children())
            stack.push_back(c);
    }
    return result;
}

} // namespace tb
