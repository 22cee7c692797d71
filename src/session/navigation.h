// Where the user stands in one tree: the folder in focus, the folders left
// behind on the way there (Back) and those stepped back from (Forward). A
// value without Qt; it holds pointers into one forest, so whoever replaces
// the forest clears it or remaps it into the copy.
#pragma once

#include <functional>
#include <vector>

#include "scan/scan_node.h"

namespace tb {

class Navigation {
public:
    // Null until a tree is shown; the tree's root stands in for it then.
    const ScanNode* focus() const { return focus_; }
    // Where Back goes, the next step last.
    const std::vector<const ScanNode*>& trail() const { return trail_; }
    // Where Forward goes, the next step last; emptied by every new move.
    const std::vector<const ScanNode*>& forward() const { return forward_; }

    void setFocus(const ScanNode* node) { focus_ = node; }
    // A trail of its own: nothing lies forward of it.
    void setTrail(std::vector<const ScanNode*> trail);
    // From `shown` into `folder`: `shown` joins the trail unless it is that
    // folder, and Forward is forgotten.
    void enter(const ScanNode* shown, const ScanNode* folder);
    // Back from `shown` to the trail's last folder, `shown` going forward;
    // to `home` when the trail is empty. Whether the trails changed.
    bool back(const ScanNode* shown, const ScanNode* home);
    // Forward from `shown`, `shown` joining the trail; whether there was a
    // step to take.
    bool forwardFrom(const ScanNode* shown);

    // The same places in an edited copy of the tree, `copyOf` giving a
    // node's copy or null. Folders without a copy leave the trails; a focus
    // without one goes to its nearest ancestor's copy, else to `root`.
    void remap(const std::function<const ScanNode*(const ScanNode*)>& copyOf, const ScanNode* root);

    // The folders from `root` down to the node's parent, found by path; empty
    // for the root itself and for a node outside root's tree.
    static std::vector<const ScanNode*> ancestors(const ScanNode* root, const ScanNode* node);

private:
    const ScanNode* focus_ = nullptr;
    std::vector<const ScanNode*> trail_;
    std::vector<const ScanNode*> forward_;
};

} // namespace tb
