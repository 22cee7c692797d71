#include "session/navigation.h"

#include <string>

namespace tb {

void Navigation::setTrail(std::vector<const ScanNode*> trail) {
    trail_ = std::move(trail);
    forward_.clear();
}

void Navigation::enter(const ScanNode* shown, const ScanNode* folder) {
    forward_.clear();
    if (shown && shown->id() != folder->id()) trail_.push_back(shown);
    focus_ = folder;
}

bool Navigation::back(const ScanNode* shown, const ScanNode* home) {
    if (trail_.empty()) {
        focus_ = home;
        return false;
    }
    focus_ = trail_.back();
    trail_.pop_back();
    if (shown) forward_.push_back(shown);
    return true;
}

bool Navigation::forwardFrom(const ScanNode* shown) {
    if (forward_.empty()) return false;
    focus_ = forward_.back();
    forward_.pop_back();
    if (shown) trail_.push_back(shown);
    return true;
}

void Navigation::remap(const std::function<const ScanNode*(const ScanNode*)>& copyOf,
                       const ScanNode* root) {
    const ScanNode* focus = nullptr;
    for (const ScanNode* n = focus_; n && !focus; n = n->parent())
        focus = copyOf(n);
    for (std::vector<const ScanNode*>* nodes : {&trail_, &forward_}) {
        std::vector<const ScanNode*> kept;
        for (const ScanNode* n : *nodes) {
            if (const ScanNode* copy = copyOf(n)) kept.push_back(copy);
        }
        *nodes = std::move(kept);
    }
    focus_ = focus ? focus : root;
}

std::vector<const ScanNode*> Navigation::ancestors(const ScanNode* root, const ScanNode* node) {
    std::vector<const ScanNode*> chain;
    if (!root || !node) return chain;
    const std::string target(node->path());
    const ScanNode* at = root;
    // Each step takes the child whose path is a folder prefix of the target.
    while (at && at->id() != node->id()) {
        chain.push_back(at);
        const ScanNode* next = nullptr;
        for (const ScanNode* c : at->children()) {
            const std::string path(c->path());
            if (target.size() >= path.size() && target.compare(0, path.size(), path) == 0 &&
                (target.size() == path.size() || target[path.size()] == '/')) {
                next = c;
                break;
            }
        }
        at = next;
    }
    if (!at) chain.clear();
    return chain;
}

} // namespace tb
