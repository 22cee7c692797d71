#include "scan/scan_node.h"

#include <algorithm>

#include "scan/byte_sum.h"

namespace tb {

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
        std::int64_t logical = 0, allocated = 0;
        for (const ScanNode* c : n->children()) {
            logical = addBytes(logical, c->logicalSize_);
            allocated = addBytes(allocated, c->allocatedSize_);
        }
        n->logicalSize_ = logical;
        n->allocatedSize_ = allocated;
        stack.pop_back();
    }
}

void ScanNode::sortBySize() {
    std::vector<ScanNode*> stack{this};
    while (!stack.empty()) {
        ScanNode* n = stack.back();
        stack.pop_back();
        if (n->childCount_ > 1) {
            std::stable_sort(n->children_, n->children_ + n->childCount_,
                             [](const ScanNode* a, const ScanNode* b) {
                                 return a->allocatedSize_ > b->allocatedSize_;
                             });
        }
        for (ScanNode* c : n->children()) {
            if (c->childCount_ > 0) stack.push_back(c);
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
        for (const ScanNode* c : n->children()) stack.push_back(c);
    }
    return result;
}

} // namespace tb
