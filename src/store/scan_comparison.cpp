#include "store/scan_comparison.h"

#include <algorithm>
#include <limits>
#include <string>

#include "store/path_index.h"

namespace tb {
namespace {

constexpr std::int64_t kSmallItemLimit = 20'000'000; // below: absolute threshold
constexpr std::uint64_t kNoticeableBytes = 1'000'000;
constexpr std::int64_t kPresenceBytes = 1'000'000; // added/removed need more than this
constexpr std::int64_t kLargeItemDivisor = 20;     // 5 % for large items

// |after - before| without overflow, whatever the stored sizes are.
std::uint64_t magnitude(std::int64_t before, std::int64_t after) {
    return after >= before ? std::uint64_t(after) - std::uint64_t(before)
                           : std::uint64_t(before) - std::uint64_t(after);
}

bool isNoticeable(std::int64_t before, std::int64_t after) {
    const std::uint64_t m = magnitude(before, after);
    if (before < kSmallItemLimit) return m >= kNoticeableBytes;
    return m >= std::uint64_t(before / kLargeItemDivisor);
}

// Flattened with an explicit stack, each path mapped to its position in the
// list; a later node with the same path wins.
std::vector<const ScanNode*> flatten(const ScanNode* root) {
    std::vector<const ScanNode*> order;
    std::vector<const ScanNode*> stack{root};
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        order.push_back(n);
        for (const ScanNode* c : n->children())
            stack.push_back(c);
    }
    return order;
}

// Nodes keep names, not paths: the paths of one comparison are built once
// into a single buffer that the index points into.
class Paths {
public:
    explicit Paths(const std::vector<const ScanNode*>& order) {
        ends_.reserve(order.size());
        for (const ScanNode* n : order) {
            n->appendPath(bytes_);
            ends_.push_back(bytes_.size());
        }
    }
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(bytes_).substr(begin, ends_[i] - begin);
    }
    std::size_t size() const { return ends_.size(); }

private:
    std::string bytes_;
    std::vector<std::size_t> ends_;
};

PathIndex indexOf(const Paths& paths) {
    PathIndex index(paths.size());
    for (std::uint32_t i = 0; i < paths.size(); ++i)
        index.assign(paths[i], i);
    return index;
}

ScanChange makeChange(std::string_view prefix, const ScanNode* node, ScanChange::Kind kind,
                      std::int64_t before, std::int64_t after) {
    ScanChange c;
    c.path = std::string(node->path());
    c.id = std::string(prefix) + c.path;
    c.name = std::string(node->name());
    c.kind = kind;
    c.previousBytes = before;
    c.currentBytes = after;
    return c;
}

} // namespace

std::int64_t ScanChange::delta() const {
    std::int64_t d;
    if (!__builtin_sub_overflow(currentBytes, previousBytes, &d)) return d;
    return currentBytes > previousBytes ? std::numeric_limits<std::int64_t>::max()
                                        : std::numeric_limits<std::int64_t>::min();
}

std::string_view rawValue(ScanChange::Kind kind) {
    switch (kind) {
    case ScanChange::Kind::added: return "added";
    case ScanChange::Kind::removed: return "removed";
    case ScanChange::Kind::grew: return "grew";
    case ScanChange::Kind::shrank: return "shrank";
    }
    return "added";
}

std::optional<ScanChange::Kind> scanChangeKind(std::string_view raw) {
    for (auto k : {ScanChange::Kind::added, ScanChange::Kind::removed, ScanChange::Kind::grew,
                   ScanChange::Kind::shrank}) {
        if (rawValue(k) == raw) return k;
    }
    return std::nullopt;
}

namespace ScanComparison {

std::vector<ScanChange> compare(const ScanNode* current, const ScanNode* previous,
                                std::size_t limit) {
    std::vector<ScanChange> changes;
    if (!current || !previous) return changes;
    const auto currentOrder = flatten(current);
    const auto previousOrder = flatten(previous);
    const Paths currentPaths(currentOrder), previousPaths(previousOrder);
    const PathIndex now = indexOf(currentPaths);
    const PathIndex before = indexOf(previousPaths);
    // A path seen twice in one tree counts once, as its last node.
    const bool repeatsNow = now.size() != currentOrder.size();
    const bool repeatsBefore = before.size() != previousOrder.size();

    for (std::uint32_t i = 0; i < currentOrder.size(); ++i) {
        const ScanNode* n = currentOrder[i];
        const std::string_view path = currentPaths[i];
        if (repeatsNow && now.find(path) != i) continue;
        const std::uint32_t old = before.find(path);
        if (old != PathIndex::none) {
            const std::int64_t b = previousOrder[old]->allocatedSize(), a = n->allocatedSize();
            if (!isNoticeable(b, a)) continue;
            changes.push_back(makeChange(
                "changed:", n, a < b ? ScanChange::Kind::shrank : ScanChange::Kind::grew, b, a));
        } else if (n->allocatedSize() > kPresenceBytes) {
            changes.push_back(
                makeChange("added:", n, ScanChange::Kind::added, 0, n->allocatedSize()));
        }
    }
    for (std::uint32_t i = 0; i < previousOrder.size(); ++i) {
        const ScanNode* n = previousOrder[i];
        const std::string_view path = previousPaths[i];
        if ((repeatsBefore && before.find(path) != i) || now.contains(path)) continue;
        if (n->allocatedSize() > kPresenceBytes) {
            changes.push_back(
                makeChange("removed:", n, ScanChange::Kind::removed, n->allocatedSize(), 0));
        }
    }

    auto larger = [](const ScanChange& x, const ScanChange& y) {
        return magnitude(x.previousBytes, x.currentBytes) >
               magnitude(y.previousBytes, y.currentBytes);
    };
    std::stable_sort(changes.begin(), changes.end(), larger);
    if (changes.size() > limit) changes.resize(limit);
    return changes;
}

} // namespace ScanComparison
} // namespace tb
