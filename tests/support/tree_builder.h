// Builds trees by hand for tests. Sizes are named fields so that logical and
// allocated bytes cannot be swapped by position.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/path.h"
#include "scan/directory_walker.h"
#include "scan/node_arena.h"
#include "scan/scan_forest.h"

namespace tb::test {

inline ScanContext testContext(const std::string& root, std::int64_t capacity = 500'000'000'000,
                               bool complete = true) {
    ScanContext c;
    c.rootPath = root;
    c.scope = root == "/" ? ScanScopeKind::volume : ScanScopeKind::selectedFolder;
    c.volumeName = "Test Volume";
    c.volumeCapacity = capacity;
    c.complete = complete;
    c.createdAt = Date::now();
    return c;
}

inline ScanForest forestOf(NodeTree tree, std::int64_t unreadable = 0, std::int64_t visited = 0,
                           std::optional<ScanContext> context = std::nullopt) {
    if (!context) context = testContext(std::string(tree.root->path()));
    return ScanForest(std::move(tree), unreadable, visited, std::move(context));
}

struct Sizes {
    std::int64_t logicalSize = 0;
    std::int64_t allocatedSize = 0;
    std::uint64_t inode = 0;
    Date modified = Date::fromUnix(1'600'000'000, 0);
};

// With a root path, every node made below it goes into its folder (missing
// folders are made on the way); without one, trees are built bottom-up with
// explicit children. Children keep the order they were made in; folders keep
// the sizes given until `rollUp`.
class TreeBuilder {
public:
    TreeBuilder() = default;
    explicit TreeBuilder(const std::string& rootPath) : rootPath_(rootPath) { dir(rootPath); }

    ScanNode* file(const std::string& path, const Sizes& s = {}) { return add(path, false, s); }
    // Logical and allocated bytes alike.
    ScanNode* file(const std::string& path, std::int64_t bytes) {
        return add(path, false, {.logicalSize = bytes, .allocatedSize = bytes});
    }
    ScanNode* dir(const std::string& path, const Sizes& s = {}) { return add(path, true, s); }
    ScanNode* dir(const std::string& path, std::int64_t bytes) {
        return add(path, true, {.logicalSize = bytes, .allocatedSize = bytes});
    }
    ScanNode* dir(const std::string& path, const std::vector<ScanNode*>& children) {
        ScanNode* d = add(path, true, {});
        for (ScanNode* c : children)
            attach(d, c);
        link();
        return d;
    }
    // A raw node of the arena, attached to nothing.
    ScanNode* make(const NodeFields& fields) {
        ScanNode* n = arena_->make(fields);
        nodes_.push_back(n);
        return n;
    }
    // Replaces the children, as the arena does.
    void setChildren(ScanNode* parent, const std::vector<ScanNode*>& children) {
        children_[parent].clear();
        for (ScanNode* c : children)
            attach(parent, c);
        link();
    }

    // The first node made that is no folder's child.
    ScanNode* root() const {
        for (const ScanNode* n : nodes_) {
            if (!attached_.count(n)) return const_cast<ScanNode*>(n);
        }
        return nullptr;
    }
    ScanNode* at(const std::string& path) {
        link();
        const auto it = byPath_.find(path);
        return it == byPath_.end() ? nullptr : it->second;
    }
    // Every node, in the order made.
    const std::vector<const ScanNode*>& nodes() {
        link();
        return nodes_;
    }
    // Every folder's sizes as the sum of its children's, as after a scan.
    void rollUp() {
        link();
        if (root()) root()->rollup();
    }
    NodeTree tree(ScanNode* top = nullptr) {
        link();
        return {arena_, top ? top : root()};
    }
    // Sorts the children by size, as every forest does.
    ScanForest forest(std::optional<ScanContext> context = std::nullopt,
                      std::int64_t unreadable = 0, std::int64_t visited = 0) {
        return forestOf(tree(), unreadable, visited, std::move(context));
    }

private:
    ScanNode* add(const std::string& path, bool isDirectory, const Sizes& s) {
        ScanNode* parent = folderFor(path);
        ScanNode* n = make({.path = path,
                            .name = Path::displayName(path),
                            .isDirectory = isDirectory,
                            .inode = s.inode,
                            .modified = s.modified,
                            .logicalSize = s.logicalSize,
                            .allocatedSize = s.allocatedSize});
        byPath_[path] = n;
        if (parent) attach(parent, n);
        return n;
    }
    // The folder `path` goes in, made if missing; none outside the root.
    ScanNode* folderFor(const std::string& path) {
        if (rootPath_.empty() || path == rootPath_ || !Path::isSameOrInside(path, rootPath_)) {
            return nullptr;
        }
        const std::string up = Path::parent(path);
        const auto it = byPath_.find(up);
        return it != byPath_.end() ? it->second : add(up, true, {});
    }
    void attach(ScanNode* parent, ScanNode* child) {
        children_[parent].push_back(child);
        attached_.insert(child);
        unlinked_.insert(parent);
    }
    void link() {
        for (ScanNode* parent : unlinked_)
            arena_->setChildren(parent, children_[parent]);
        unlinked_.clear();
    }

    std::string rootPath_;
    std::shared_ptr<NodeArena> arena_ = std::make_shared<NodeArena>();
    std::vector<const ScanNode*> nodes_;
    std::map<std::string, ScanNode*> byPath_;
    std::map<ScanNode*, std::vector<ScanNode*>> children_;
    std::set<const ScanNode*> attached_;
    std::set<ScanNode*> unlinked_;
};

inline ScanForest scanFolder(const std::string& root) {
    return DirectoryWalker::walk(root, [](const WalkProgress&) {});
}

// Out of line: inlined, it makes GCC's -Wnull-dereference flag its callers.
[[gnu::noinline]] inline const ScanNode* child(const ScanNode* n, std::string_view name) {
    for (const ScanNode* c : n->children()) {
        if (c->name() == name) return c;
    }
    return nullptr;
}

inline const ScanNode* findNode(const ScanForest& forest, std::string_view path) {
    for (const ScanNode* n : forest.nodes()) {
        if (n->path() == path) return n;
    }
    return nullptr;
}

} // namespace tb::test
