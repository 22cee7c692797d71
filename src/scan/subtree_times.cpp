#include "scan/subtree_times.h"

#include <algorithm>
#include <vector>

namespace tb::SubtreeTimes {

Table newest(const ScanNode* root) {
    Table out;
    if (!root || !root->isDirectory()) return out;
    struct Frame {
        const ScanNode* folder;
        std::size_t next;
        Date newest;
    };
    std::vector<Frame> stack{{root, 0, root->modified()}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        const auto children = top.folder->children();
        if (top.next < children.size()) {
            const ScanNode* child = children[top.next++];
            if (child->isDirectory()) {
                stack.push_back({child, 0, child->modified()});
            } else {
                top.newest = std::max(top.newest, child->modified());
            }
            continue;
        }
        const Frame done = top;
        stack.pop_back();
        out.emplace(done.folder, done.newest);
        if (!stack.empty()) stack.back().newest = std::max(stack.back().newest, done.newest);
    }
    return out;
}

Date newestOf(const ScanNode& node, const Table& table) {
    if (!node.isDirectory()) return node.modified();
    const auto it = table.find(&node);
    return it == table.end() ? node.modified() : it->second;
}

} // namespace tb::SubtreeTimes
