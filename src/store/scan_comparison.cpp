#include "store/scan_comparison.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

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

// Pre-order with an explicit stack: the depth is the file system's to choose.
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

// One tree's nodes by path, for the lookups of a comparison. Nodes keep
// names, not paths, and a million paths kept at once would cost more than
// the trees: a slot holds only the hash of a path and the node's position,
// and a candidate is confirmed by rebuilding its path. A later node with the
// same path takes the slot.
class NodePaths {
public:
    static constexpr std::uint32_t none = UINT32_MAX;

    explicit NodePaths(const std::vector<const ScanNode*>& order) : order_(order) {
        std::size_t capacity = 16;
        while (capacity < order.size() * 2)
            capacity *= 2;
        slots_.assign(capacity, Slot{});
        mask_ = capacity - 1;
        std::string path;
        for (std::uint32_t i = 0; i < order.size(); ++i) {
            path.clear();
            order[i]->appendPath(path);
            const std::uint64_t h = hashOf(path);
            for (std::size_t k = h & mask_;; k = (k + 1) & mask_) {
                Slot& s = slots_[k];
                if (s.value == none) {
                    s = {h, i};
                    break;
                }
                if (s.hash == h && isPathOf(s.value, path)) {
                    s.value = i;
                    repeats_ = true;
                    break;
                }
            }
        }
    }

    static std::uint64_t hashOf(std::string_view path) {
        return std::hash<std::string_view>{}(path);
    }

    // The position of the last node with this path, or none.
    std::uint32_t find(std::string_view path, std::uint64_t hash) const {
        for (std::size_t k = hash & mask_;; k = (k + 1) & mask_) {
            const Slot& s = slots_[k];
            if (s.value == none) return none;
            if (s.hash == hash && isPathOf(s.value, path)) return s.value;
        }
    }

    // Whether some path belongs to more than one node.
    bool repeats() const { return repeats_; }

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t value = none;
    };

    bool isPathOf(std::uint32_t i, std::string_view path) const {
        scratch_.clear();
        order_[i]->appendPath(scratch_);
        return scratch_ == path;
    }

    const std::vector<const ScanNode*>& order_;
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    bool repeats_ = false;
    mutable std::string scratch_;
};

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
    const NodePaths now(currentOrder), before(previousOrder);
    // Which previous nodes a current node has the path of: the removed ones
    // are the rest.
    std::vector<bool> present(previousOrder.size(), false);
    std::string path;

    for (std::uint32_t i = 0; i < currentOrder.size(); ++i) {
        const ScanNode* n = currentOrder[i];
        path.clear();
        n->appendPath(path);
        const std::uint64_t h = NodePaths::hashOf(path);
        // A path seen twice in one tree counts once, as its last node.
        if (now.repeats() && now.find(path, h) != i) continue;
        const std::uint32_t old = before.find(path, h);
        if (old != NodePaths::none) {
            present[old] = true;
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
        if (present[i] || n->allocatedSize() <= kPresenceBytes) continue;
        if (before.repeats()) {
            path.clear();
            n->appendPath(path);
            if (before.find(path, NodePaths::hashOf(path)) != i) continue;
        }
        changes.push_back(
            makeChange("removed:", n, ScanChange::Kind::removed, n->allocatedSize(), 0));
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
