#include "store/scan_comparison.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "base/tree.h"
#include "store/scan_store.h"

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
        // The order is depth-first, so each node's parent is on the chain of
        // folders entered last, whose paths are prefixes of one string.
        std::string path;
        std::vector<std::pair<const ScanNode*, std::size_t>> chain;
        for (std::uint32_t i = 0; i < order.size(); ++i) {
            const ScanNode* n = order[i];
            while (!chain.empty() && chain.back().first != n->parent())
                chain.pop_back();
            if (chain.empty()) {
                path.clear();
                n->appendPath(path);
            } else {
                path.resize(chain.back().second);
                n->extendParentPath(path);
            }
            chain.emplace_back(n, path.size());
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

    bool isPathOf(std::uint32_t i, std::string_view path) const { return order_[i]->hasPath(path); }

    const std::vector<const ScanNode*>& order_;
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    bool repeats_ = false;
};

ScanChange makeChange(std::string_view prefix, std::string_view path, std::string_view name,
                      ScanChange::Kind kind, std::int64_t before, std::int64_t after) {
    ScanChange c;
    c.path = std::string(path);
    c.id = std::string(prefix) + c.path;
    c.name = std::string(name);
    c.kind = kind;
    c.previousBytes = before;
    c.currentBytes = after;
    return c;
}

bool isLarger(const ScanChange& x, const ScanChange& y) {
    return magnitude(x.previousBytes, x.currentBytes) > magnitude(y.previousBytes, y.currentBytes);
}

// The changes of a comparison as they are found. The smaller ones can be
// every item of a tree, so only the largest `limit` of them are kept, pruned
// in batches (linear on the whole, never more than a few limits held), and
// one that cannot make the cut any more is only counted, never built.
class Collector {
public:
    explicit Collector(std::size_t limit) : limit_(limit) {}

    void noticeable(ScanChange c) {
        ++list_.noticeableCount;
        list_.listed.push_back(std::move(c));
    }
    // Counts a change under the thresholds; true when it is to be handed
    // to smaller().
    bool countSmaller(std::int64_t before, std::int64_t after) {
        ++list_.smallerCount;
        return limit_ > 0 && magnitude(before, after) >= floor_;
    }
    void smaller(ScanChange c) {
        list_.smaller.push_back(std::move(c));
        if (list_.smaller.size() >= 4 * limit_) keepLargest();
    }

    ChangeList finish() && {
        for (auto* changes : {&list_.listed, &list_.smaller}) {
            std::stable_sort(changes->begin(), changes->end(), isLarger);
            if (changes->size() > limit_) changes->resize(limit_);
        }
        return std::move(list_);
    }

private:
    void keepLargest() {
        auto& kept = list_.smaller;
        std::nth_element(kept.begin(), kept.begin() + std::ptrdiff_t(limit_), kept.end(), isLarger);
        kept.resize(limit_);
        floor_ = UINT64_MAX;
        for (const ScanChange& c : kept)
            floor_ = std::min(floor_, magnitude(c.previousBytes, c.currentBytes));
    }

    std::size_t limit_;
    std::uint64_t floor_ = 0; // the smallest magnitude kept once a batch was pruned
    ChangeList list_;
};

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

namespace {

// The current tree's half of a comparison: each node by path, and which of
// them the previous scan held too.
class CurrentSide {
public:
    explicit CurrentSide(const ScanNode* root) : order_(Tree::flattened(root)), paths_(order_) {
        held_.assign(order_.size(), false);
    }

    // Appends what became of one item of the previous scan: changed when
    // this tree holds its path (the last node with it, then marked as held),
    // removed when not.
    void meet(std::string_view path, std::string_view name, std::int64_t before,
              Collector& changes) {
        const std::uint32_t i = paths_.find(path, NodePaths::hashOf(path));
        if (i == NodePaths::none) {
            auto removal = [&] {
                return makeChange("removed:", path, name, ScanChange::Kind::removed, before, 0);
            };
            if (before > kPresenceBytes) {
                changes.noticeable(removal());
            } else if (changes.countSmaller(before, 0)) {
                changes.smaller(removal());
            }
            return;
        }
        held_[i] = true;
        const ScanNode* n = order_[i];
        const std::int64_t after = n->allocatedSize();
        if (after == before) return;
        auto change = [&] {
            const auto kind = after < before ? ScanChange::Kind::shrank : ScanChange::Kind::grew;
            return makeChange("changed:", path, n->name(), kind, before, after);
        };
        if (isNoticeable(before, after)) {
            changes.noticeable(change());
        } else if (changes.countSmaller(before, after)) {
            changes.smaller(change());
        }
    }

    // Records an addition for each node the previous scan did not hold.
    void addNew(Collector& changes) const {
        std::string path;
        for (std::uint32_t i = 0; i < order_.size(); ++i) {
            const ScanNode* n = order_[i];
            if (held_[i]) continue;
            if (paths_.repeats()) {
                // A path seen twice in one tree counts once, as its last node.
                path.clear();
                n->appendPath(path);
                if (paths_.find(path, NodePaths::hashOf(path)) != i) continue;
            }
            auto addition = [n] {
                return makeChange("added:", n->path(), n->name(), ScanChange::Kind::added, 0,
                                  n->allocatedSize());
            };
            if (n->allocatedSize() > kPresenceBytes) {
                changes.noticeable(addition());
            } else if (changes.countSmaller(0, n->allocatedSize())) {
                changes.smaller(addition());
            }
        }
    }

private:
    std::vector<const ScanNode*> order_;
    NodePaths paths_;
    std::vector<bool> held_;
};

} // namespace

namespace ScanComparison {

std::optional<std::string> incomparable(const ScanContext& current, const ScanContext& previous) {
    if (current.hardLinks == previous.hardLinks) return std::nullopt;
    auto how = [](HardLinkMode m) {
        return m == HardLinkMode::once ? std::string("counted each hard-linked file once")
                                       : std::string("counted every name of a hard-linked file");
    };
    return "Not compared: the previous scan " + how(previous.hardLinks) + ", this one " +
           how(current.hardLinks) + ". Scan again with the same Hard links setting to compare.";
}

ChangeList changeList(const ScanNode* current, const ScanNode* previous, std::size_t limit) {
    Collector changes(limit);
    if (!current || !previous) return std::move(changes).finish();
    CurrentSide now(current);
    const auto previousOrder = Tree::flattened(previous);
    const NodePaths before(previousOrder);
    std::string path;
    for (std::uint32_t i = 0; i < previousOrder.size(); ++i) {
        const ScanNode* old = previousOrder[i];
        path.clear();
        old->appendPath(path);
        if (before.repeats() && before.find(path, NodePaths::hashOf(path)) != i) continue;
        now.meet(path, old->name(), old->allocatedSize(), changes);
    }
    now.addNew(changes);
    return std::move(changes).finish();
}

// The stored rows are read one at a time against the current tree, so the
// previous scan is never held whole: on a million entries that is the
// difference between one tree in memory and two.
ChangeList changeList(const ScanNode* current, const ScanRecord& previous, std::size_t limit) {
    if (!current) return {};
    CurrentSide now(current);
    Collector changes(limit);
    const ScanStore::StoredRows read = ScanStore::visitRows(previous, [&](const NodeFields& row) {
        now.meet(row.path, row.name, row.allocatedSize, changes);
    });
    switch (read) {
    case ScanStore::StoredRows::read: break;
    case ScanStore::StoredRows::unreadable: return {};
    case ScanStore::StoredRows::notInStoreOrder: {
        auto tree = ScanStore::load(previous);
        return tree ? changeList(current, tree->root, limit) : ChangeList{};
    }
    }
    now.addNew(changes);
    return std::move(changes).finish();
}

std::vector<ScanChange> compare(const ScanNode* current, const ScanNode* previous,
                                std::size_t limit) {
    return changeList(current, previous, limit).listed;
}

std::vector<ScanChange> compare(const ScanNode* current, const ScanRecord& previous,
                                std::size_t limit) {
    return changeList(current, previous, limit).listed;
}

} // namespace ScanComparison
} // namespace tb
