// Builds small trees for tests.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "base/path.h"
#include "scan/node_arena.h"

namespace tb::test {

class TreeBuilder {
public:
    TreeBuilder() : arena_(std::make_shared<NodeArena>()) {}

    ScanNode* file(const std::string& path, std::int64_t logical, std::int64_t allocated,
                   Date modified = Date::fromUnix(1'600'000'000, 0)) {
        return arena_->make({.path = path, .name = Path::displayName(path), .isDirectory = false,
                             .modified = modified, .logicalSize = logical,
                             .allocatedSize = allocated});
    }
    ScanNode* dir(const std::string& path, const std::vector<ScanNode*>& children) {
        ScanNode* d = arena_->make({.path = path, .name = Path::displayName(path),
                                    .isDirectory = true});
        arena_->setChildren(d, children);
        return d;
    }
    NodeTree tree(ScanNode* root) const { return NodeTree{arena_, root}; }

private:
    std::shared_ptr<NodeArena> arena_;
};

} // namespace tb::test
