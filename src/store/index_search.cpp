#include "store/index_search.h"

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
    std::string folded;
    auto contains = [&](std::string_view text) {
        QueryText::lowerCased(text, folded);
        return folded.find(needle) != std::string::npos;
    };
    for (const ScanNode* node : nodes) {
        if (contains(node->name()) || contains(node->path())) {
            hits.push_back(node);
            if (hits.size() == hitLimit) break;
        }
    }
    return hits;
}

std::vector<const ScanNode*> matches(std::string_view query, const ScanNode* root) {
    if (!root) return {};
    return matches(query, root->flattened());
}

} // namespace tb::IndexSearch
