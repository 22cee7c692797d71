#include "store/index_search.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "store/query_text.h"

namespace tb::IndexSearch {

std::vector<const ScanNode*> matches(std::string_view query,
                                     const std::vector<const ScanNode*>& nodes) {
    std::vector<const ScanNode*> hits;
    const std::string_view trimmedQuery = QueryText::trimmed(query);
    if (trimmedQuery.empty()) return hits;
    std::string needle;
    QueryText::lowerCased(trimmedQuery, needle);

    // Both sides are lower-cased, so characters compare literally otherwise.
    std::string folded, path;
    auto pathOf = [&path](const ScanNode* n) -> std::string_view {
        path.clear();
        n->appendPath(path);
        return path;
    };
    auto contains = [&](std::string_view text) {
        QueryText::lowerCased(text, folded);
        return folded.find(needle) != std::string::npos;
    };
    for (const ScanNode* node : nodes) {
        if (contains(node->name()) || contains(pathOf(node))) {
            hits.push_back(node);
            if (hits.size() == hitLimit) break;
        }
    }
    return hits;
}

std::vector<const ScanNode*> ranked(std::string_view query,
                                    const std::vector<const ScanNode*>& nodes, std::size_t limit) {
    std::vector<const ScanNode*> hits;
    const std::string_view trimmedQuery = QueryText::trimmed(query);
    if (trimmedQuery.empty() || limit == 0) return hits;
    std::string needle;
    QueryText::lowerCased(trimmedQuery, needle);
    std::string folded, path;
    auto pathOf = [&path](const ScanNode* n) -> std::string_view {
        path.clear();
        n->appendPath(path);
        return path;
    };
    auto contains = [&](std::string_view text) {
        QueryText::lowerCased(text, folded);
        return folded.find(needle) != std::string::npos;
    };
    // Positions in the list break ties, so that the order is stable.
    std::vector<std::uint32_t> byName, byPath;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (contains(nodes[i]->name())) {
            byName.push_back(std::uint32_t(i));
        } else if (contains(pathOf(nodes[i]))) {
            byPath.push_back(std::uint32_t(i));
        }
    }
    auto larger = [&](std::uint32_t a, std::uint32_t b) {
        const auto sa = nodes[a]->allocatedSize(), sb = nodes[b]->allocatedSize();
        return sa != sb ? sa > sb : a < b;
    };
    for (auto* group : {&byName, &byPath}) {
        const std::size_t take = std::min(group->size(), limit - hits.size());
        std::partial_sort(group->begin(), group->begin() + std::ptrdiff_t(take), group->end(),
                          larger);
        for (std::size_t i = 0; i < take; ++i)
            hits.push_back(nodes[(*group)[i]]);
    }
    return hits;
}

std::vector<const ScanNode*> matches(std::string_view query, const ScanNode* root) {
    if (!root) return {};
    return matches(query, root->flattened());
}

} // namespace tb::IndexSearch
