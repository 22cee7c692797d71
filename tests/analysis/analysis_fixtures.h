// Trees built by hand for the analysis tests, and a real scan of a folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/directory_walker.h"
#include "scan/node_arena.h"
#include "scan/scan_forest.h"
#include "support/temp_dir.h"

namespace tb::test {

// Nodes are listed in the order they are added (the root first).
class TreeBuilder {
public:
    explicit TreeBuilder(std::string rootPath = "/r") : arena_(std::make_shared<NodeArena>()) {
        root_ = add(nullptr, std::move(rootPath), true, 0, 0, 0);
    }

    ScanNode* root() const { return root_; }
    // Sizes of folders are given, not rolled up: tests set what they need.
    ScanNode* dir(ScanNode* parent, std::string_view name, std::int64_t allocated = 0) {
        return add(parent, childPath(parent, name), true, allocated, allocated, 0);
    }
    ScanNode* file(ScanNode* parent, std::string_view name, std::int64_t logical,
                   std::int64_t allocated = -1, std::uint64_t inode = 0) {
        return add(parent, childPath(parent, name), false, logical,
                   allocated < 0 ? logical : allocated, inode);
    }
    // A chain of folders below `parent`, each of the same size; the last one.
    ScanNode* dirs(ScanNode* parent, std::string_view relative, std::int64_t allocated = 0) {
        std::size_t start = 0;
        while (start <= relative.size()) {
            std::size_t slash = relative.find('/', start);
            if (slash == std::string_view::npos) slash = relative.size();
            parent = dir(parent, relative.substr(start, slash - start), allocated);
            start = slash + 1;
        }
        return parent;
    }

    const std::vector<const ScanNode*>& nodes() {
        link();
        return nodes_;
    }
    NodeTree tree() {
        link();
        return {arena_, root_};
    }

private:
    std::string childPath(const ScanNode* parent, std::string_view name) const {
        std::string p(parent->path());
        if (p != "/") p += '/';
        return p + std::string(name);
    }
    ScanNode* add(ScanNode* parent, std::string path, bool isDir, std::int64_t logical,
                  std::int64_t allocated, std::uint64_t inode) {
        const std::size_t slash = path.rfind('/');
        NodeFields f;
        f.path = path;
        f.name = std::string_view(path).substr(slash + 1);
        f.isDirectory = isDir;
        f.logicalSize = logical;
        f.allocatedSize = allocated;
        f.inode = inode;
        ScanNode* n = arena_->make(f);
        nodes_.push_back(n);
        parents_.push_back(parent);
        return n;
    }
    void link() {
        for (const ScanNode* n : nodes_) {
            std::vector<ScanNode*> children;
            for (std::size_t i = 0; i < nodes_.size(); ++i) {
                if (parents_[i] == n) children.push_back(const_cast<ScanNode*>(nodes_[i]));
            }
            arena_->setChildren(const_cast<ScanNode*>(n), children);
        }
    }

    std::shared_ptr<NodeArena> arena_;
    ScanNode* root_ = nullptr;
    std::vector<const ScanNode*> nodes_;
    std::vector<ScanNode*> parents_;
};

// writeFile and writeSizedFile with the parent folders made first.
inline void put(const std::string& path, std::string_view contents) {
    makeDirs(path.substr(0, path.rfind('/')));
    writeFile(path, contents);
}
inline void putSized(const std::string& path, std::int64_t size, unsigned seed = 0) {
    makeDirs(path.substr(0, path.rfind('/')));
    writeSizedFile(path, size, seed);
}

inline ScanForest scanFolder(const std::string& root) {
    return DirectoryWalker::walk(root, [](const WalkProgress&) {});
}

inline const ScanNode* findNode(const ScanForest& forest, std::string_view path) {
    for (const ScanNode* n : forest.nodes()) {
        if (n->path() == path) return n;
    }
    return nullptr;
}

} // namespace tb::test
