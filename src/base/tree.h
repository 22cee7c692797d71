// Walks over any tree whose nodes give `children()` as a range of pointers.
// Explicit stacks throughout: the depth is the file system's to choose.
#pragma once

#include <vector>

namespace tb::Tree {

// Each node before its descendants, `root` first; a folder's children come
// last to first.
template <typename Node, typename Visit>
void preorder(Node* root, Visit&& visit) {
    std::vector<Node*> stack{root};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        visit(n);
        for (Node* c : n->children())
            stack.push_back(c);
    }
}

// The nodes in that order.
template <typename Node>
std::vector<Node*> flattened(Node* root) {
    std::vector<Node*> out;
    preorder(root, [&](Node* n) { out.push_back(n); });
    return out;
}

} // namespace tb::Tree
