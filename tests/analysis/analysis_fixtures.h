// A real scan of a folder for the analysis tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/directory_walker.h"
#include "scan/node_arena.h"
#include "scan/scan_forest.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb::test {

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
