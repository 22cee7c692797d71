#include "analysis/path_size.h"

#include <vector>

#include "platform/deep_enumeration.h"
#include "platform/file_system.h"
#include "scan/scan_node.h"

namespace tb::PathSize {

std::int64_t allocated(const std::string& path, int cap, std::stop_token stop) {
    // Only the directory flag is used: a missing path is probed as a file.
    if (!platform::FileSystem::exists(path).isDirectory) {
        auto values = platform::FileSystem::values(path);
        return values ? values->totalAllocated : 0;
    }
    std::int64_t total = 0;
    int count = 0;
    platform::DeepEnumeration::enumerate(
        path,
        [&](const platform::EnumeratedItem& item) {
            if (count + 1 > cap) return false;
            ++count;
            if (!item.isDirectory && item.totalAllocated) total += *item.totalAllocated;
            return true;
        },
        stop);
    return total;
}

PathSizeIndex indexMap(std::span<const ScanNode* const> nodes) {
    PathSizeIndex index;
    index.reserve(nodes.size());
    for (const ScanNode* n : nodes) index[n->path()] = n->allocatedSize();
    return index;
}

PathSizeIndex indexMap(const ScanNode* subtree) {
    PathSizeIndex index;
    if (!subtree) return index;
    std::vector<const ScanNode*> stack{subtree};
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        index[n->path()] = n->allocatedSize();
        for (const ScanNode* c : n->children()) stack.push_back(c);
    }
    return index;
}

std::int64_t allocated(const std::string& path, const PathSizeIndex& index, std::stop_token stop) {
    if (auto it = index.find(path); it != index.end()) return it->second;
    return allocated(path, defaultCap, std::move(stop));
}

std::int64_t allocated(const std::string& path, const ScanNode* subtree, std::stop_token stop) {
    return allocated(path, indexMap(subtree), std::move(stop));
}

} // namespace tb::PathSize
