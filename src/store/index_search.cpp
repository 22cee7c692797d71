#include "store/index_search.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

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

// Whether each node's path holds the needle, without building the paths of
// a million nodes. A needle without "/" lies within one name, so a path
// holds it when its parent's path or its own name does; lists that run
// parents before their children (the forest's order) keep the parents'
// answers on a stack. Any other node builds its path.
class PathMatches {
public:
    PathMatches(Matcher& match, std::string_view query) : match_(match) {
        const std::string_view trimmed = QueryText::trimmed(query);
        spansNames_ = trimmed.find('/') != std::string_view::npos;
    }
    bool test(const ScanNode* n, bool nameMatches) {
        if (spansNames_) return nameMatches || match_.inPath(n);
        const ScanNode* parent = n->parent();
        while (!folders_.empty() && folders_.back().first != parent)
            folders_.pop_back();
        bool inPath;
        if (folders_.empty()) {
            inPath = nameMatches || match_.inPath(n);
        } else {
            inPath = nameMatches || folders_.back().second;
        }
        if (n->isDirectory()) folders_.emplace_back(n, inPath);
        return inPath;
    }

private:
    Matcher& match_;
    bool spansNames_ = false;
    std::vector<std::pair<const ScanNode*, bool>> folders_;
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
                      std::size_t limit, std::stop_token stop) {
    RankedHits result;
    std::vector<const ScanNode*>& hits = result.hits;
    Matcher match(query);
    if (match.empty()) return result;
    // Positions in the list break ties, so that the order is stable.
    std::vector<std::uint32_t> byName, byPath;
    PathMatches inPath(match, query);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if ((i & 0xFFFF) == 0 && stop.stop_requested()) return {};
        const bool named = match.inName(nodes[i]);
        if (named) {
            byName.push_back(std::uint32_t(i));
            inPath.test(nodes[i], true);
        } else if (inPath.test(nodes[i], false)) {
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
