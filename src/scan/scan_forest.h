// The immutable result of one scan or one reopened scan. Cheap to copy: the
// copies share the tree and the derived lists. Safe to read from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "scan/age_bands.h"
#include "scan/file_list.h"
#include "scan/hard_links.h"
#include "scan/node_arena.h"
#include "scan/scan_context.h"
#include "scan/scan_node.h"

namespace tb {

class ScanForest {
public:
    static constexpr int largestFilesLimit = 80;

    // The names a walk found of files with several, and how to count them.
    struct WalkedLinks {
        std::vector<LinkedName> names;
        HardLinkMode mode = HardLinkMode::once;
        // Every folder is in order already (a walk orders each as it
        // settles it): only counting a name elsewhere calls for a sort.
        bool ordered = false;
    };

    // Sorts the tree's children in place, then derives the lists. A fresh
    // context lists the nodes the walk left out; a stored one marks them. Without a
    // context it reads the root's volume and makes one. With a walk's links
    // they are counted as their mode says (and the context records it);
    // without, the tree's sizes stand and its files with several names are
    // recognised by inode and date.
    ScanForest(NodeTree tree, std::int64_t unreadable, std::int64_t visited,
               std::optional<ScanContext> context, std::optional<WalkedLinks> links = std::nullopt,
               std::vector<std::string> excludePatterns = {});

    const ScanNode* root() const { return data_->tree.root; }
    std::int64_t unreadable() const { return data_->unreadable; }
    std::int64_t visited() const { return data_->visited; }
    const ScanContext& context() const { return data_->context; }
    const std::vector<const ScanNode*>& nodes() const { return data_->nodes; }
    // In the order of `nodes`.
    FileList files() const { return FileList(data_->nodes, data_->fileCount); }
    const std::vector<const ScanNode*>& largestFiles() const { return data_->largestFiles; }
    const std::vector<AgeBand>& ageBands() const { return data_->ageBands; }
    const HardLinks& links() const { return data_->links; }
    // Bytes that moving the node away gives back (HardLinks::freedBy).
    std::int64_t freedBy(const ScanNode* node) const { return data_->links.freedBy({&node, 1}); }
    // Keeps the nodes alive for whoever holds it.
    const NodeTree& tree() const { return data_->tree; }

    // Two forests are the same when they share the same tree.
    bool operator==(const ScanForest& o) const { return data_ == o.data_; }

private:
    struct Data {
        NodeTree tree;
        std::int64_t unreadable = 0;
        std::int64_t visited = 0;
        ScanContext context;
        std::vector<const ScanNode*> nodes;
        std::size_t fileCount = 0;
        std::vector<const ScanNode*> largestFiles;
        std::vector<AgeBand> ageBands;
        HardLinks links;
    };
    std::shared_ptr<const Data> data_;
};

} // namespace tb
