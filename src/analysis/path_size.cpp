#include "analysis/path_size.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/deep_enumeration.h"
#include "platform/file_system.h"
#include "scan/scan_node.h"

namespace tb {

namespace {
std::uint64_t hashOf(std::string_view path) {
    return std::hash<std::string_view>{}(path);
}
} // namespace

PathSizeIndex::PathSizeIndex(std::vector<const ScanNode*> nodes) {
    entries_.reserve(nodes.size());
    std::string path;
    for (const ScanNode* n : nodes) {
        path.clear();
        n->appendPath(path);
        entries_.push_back({hashOf(path), n});
    }
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.hash < b.hash; });
}

std::optional<std::int64_t> PathSizeIndex::find(std::string_view path) const {
    const std::uint64_t h = hashOf(path);
    auto it = std::lower_bound(entries_.begin(), entries_.end(), h,
                               [](const Entry& e, std::uint64_t v) { return e.hash < v; });
    std::optional<std::int64_t> found;
    std::string candidate;
    for (; it != entries_.end() && it->hash == h; ++it) {
        candidate.clear();
        it->node->appendPath(candidate);
        if (candidate == path) found = it->node->allocatedSize();
    }
    return found;
}

} // namespace tb

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
            if (count >= cap) return false;
            ++count;
            if (!item.isDirectory && item.totalAllocated) total += *item.totalAllocated;
            return true;
        },
        stop);
    return total;
}

PathSizeIndex indexMap(std::span<const ScanNode* const> nodes) {
    return PathSizeIndex(std::vector<const ScanNode*>(nodes.begin(), nodes.end()));
}

PathSizeIndex indexMap(const ScanNode* subtree) {
    if (!subtree) return {};
    std::vector<const ScanNode*> order;
    std::vector<const ScanNode*> stack{subtree};
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        order.push_back(n);
        for (const ScanNode* c : n->children())
            stack.push_back(c);
    }
    return PathSizeIndex(std::move(order));
}

std::int64_t allocated(const std::string& path, const PathSizeIndex& index, std::stop_token stop) {
    if (auto bytes = index.find(path)) return *bytes;
    return allocated(path, defaultCap, std::move(stop));
}

std::int64_t allocated(const std::string& path, const ScanNode* subtree, std::stop_token stop) {
    return allocated(path, indexMap(subtree), std::move(stop));
}

} // namespace tb::PathSize
