#include "store/index_search.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "store/query_text.h"

namespace tb::IndexSearch {

namespace {

// One query against many names and paths, with its buffers reused. Both sides
// are lower-cased, so characters compare literally otherwise.
class Matcher {
public:
    explicit Matcher(std::string_view query) {
        const std::string_view trimmed = QueryText::trimmed(query);
        if (!trimmed.empty()) QueryText::lowerCased(trimmed, needle_);
    }
    bool empty() const { return needle_.empty(); }
    bool inName(const ScanNode* n) { return contains(n->name()); }
    bool inPath(const ScanNode* n) {
        path_.clear();
        n->appendPath(path_);
        return contains(path_);
    }

private:
    bool contains(std::string_view text) {
        QueryText::lowerCased(text, folded_);
        return folded_.find(needle_) != std::string::npos;
    }
    std::string needle_, folded_, path_;
};

} // namespace

std::vector<const ScanNode*> matches(std::string_view query,
                                     const std::vector<const ScanNode*>& nodes) {
    std::vector<const ScanNode*> hits;
    Matcher match(query);
    if (match.empty()) return hits;
    for (const ScanNode* node : nodes) {
        if (match.inName(node) || match.inPath(node)) {
            hits.push_back(node);
            if (hits.size() == hitLimit) break;
        }
    }
    return hits;
}

std::vector<const ScanNode*> ranked(std::string_view query,
                                    const std::vector<const ScanNode*>& nodes, std::size_t limit) {
    return rankedHits(query, nodes, limit).hits;
}

RankedHits rankedHits(std::string_view query, const std::vector<const ScanNode*>& nodes,
                      std::size_t limit) {
    RankedHits result;
    std::vector<const ScanNode*>& hits = result.hits;
    Matcher match(query);
    if (match.empty()) return result;
    // Positions in the list break ties, so that the order is stable.
    std::vector<std::uint32_t> byName, byPath;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (match.inName(nodes[i])) {
            byName.push_back(std::uint32_t(i));
        } else if (match.inPath(nodes[i])) {
            byPath.push_back(std::uint32_t(i));
        }
    }
    result.matched = byName.size() + byPath.size();
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
    return result;
}

std::vector<const ScanNode*> matches(std::string_view query, const ScanNode* root) {
    if (!root) return {};
    return matches(query, root->flattened());
}

} // namespace tb::IndexSearch
