#include "scan/hard_links.h"

#include <algorithm>
#include <string>
#include <utility>

#include "scan/byte_sum.h"

namespace tb {

std::string_view rawValue(HardLinkMode mode) {
    return mode == HardLinkMode::once ? "once" : "every";
}

std::optional<HardLinkMode> hardLinkMode(std::string_view raw) {
    if (raw == "once") return HardLinkMode::once;
    if (raw == "every") return HardLinkMode::every;
    return std::nullopt;
}

namespace {

// Byte order of the paths: the same names always give the same first one.
void sortByPath(std::vector<ScanNode*>& group) {
    std::vector<std::pair<std::string, ScanNode*>> keyed;
    keyed.reserve(group.size());
    for (ScanNode* n : group)
        keyed.emplace_back(n->path(), n);
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < group.size(); ++i)
        group[i] = keyed[i].second;
}

} // namespace

void HardLinks::add(std::vector<ScanNode*>& group, std::uint32_t linkCount) {
    sortByPath(group);
    const ScanNode* counted = group.front();
    const auto index = static_cast<std::uint32_t>(files_.size());
    files_.push_back({counted->logicalSize(), counted->allocatedSize(),
                      std::max(linkCount, static_cast<std::uint32_t>(group.size())),
                      static_cast<std::uint32_t>(names_.size()),
                      static_cast<std::uint32_t>(group.size())});
    for (std::size_t i = 0; i < group.size(); ++i) {
        ScanNode* n = group[i];
        n->markOtherNames();
        if (i > 0 && mode_ == HardLinkMode::once) n->countElsewhere();
        names_.push_back(n);
        fileOf_.emplace(n, index);
    }
}

HardLinks HardLinks::settle(std::vector<LinkedName> names, HardLinkMode mode) {
    HardLinks links;
    links.mode_ = mode;
    auto key = [](const LinkedName& l) { return std::pair(l.device, l.node->inode()); };
    std::sort(names.begin(), names.end(),
              [&](const LinkedName& a, const LinkedName& b) { return key(a) < key(b); });
    std::vector<ScanNode*> group;
    for (std::size_t i = 0; i < names.size();) {
        std::size_t end = i;
        std::uint32_t linkCount = 0;
        group.clear();
        for (; end < names.size() && key(names[end]) == key(names[i]); ++end) {
            group.push_back(names[end].node);
            linkCount = std::max(linkCount, names[end].linkCount);
        }
        links.add(group, linkCount);
        i = end;
    }
    return links;
}

HardLinks HardLinks::recognise(std::span<const ScanNode* const> nodes, HardLinkMode mode) {
    HardLinks links;
    links.mode_ = mode;
    // A forest is still being assembled here: its nodes are not yet shared.
    std::vector<ScanNode*> known;
    for (const ScanNode* f : nodes) {
        if (f->inode() != 0 && !f->isDirectory()) known.push_back(const_cast<ScanNode*>(f));
    }
    auto key = [](const ScanNode* n) {
        const Date m = n->modified();
        return std::tuple(n->inode(), m.seconds, m.nanoseconds);
    };
    std::sort(known.begin(), known.end(),
              [&](const ScanNode* a, const ScanNode* b) { return key(a) < key(b); });
    std::vector<ScanNode*> group;
    for (std::size_t i = 0; i < known.size();) {
        std::size_t end = i + 1;
        while (end < known.size() && key(known[end]) == key(known[i]))
            ++end;
        if (end - i > 1) {
            group.assign(known.begin() + std::ptrdiff_t(i), known.begin() + std::ptrdiff_t(end));
            sortByPath(group);
            // Two files of other subvolumes may share an inode and a date; the
            // sizes tell them apart: each name in full, or all but the first 0.
            const bool agree = std::all_of(group.begin() + 1, group.end(), [&](const ScanNode* n) {
                return mode == HardLinkMode::once
                           ? n->logicalSize() == 0 && n->allocatedSize() == 0
                           : n->logicalSize() == group.front()->logicalSize() &&
                                 n->allocatedSize() == group.front()->allocatedSize();
            });
            if (agree) links.add(group, 0);
        }
        i = end;
    }
    return links;
}

const HardLinks::File* HardLinks::file(const ScanNode* name) const {
    if (!name || !name->hasOtherNames()) return nullptr;
    const auto it = fileOf_.find(name);
    return it == fileOf_.end() ? nullptr : &files_[it->second];
}

std::span<const ScanNode* const> HardLinks::names(const File& file) const {
    return {names_.data() + file.firstName, file.nameCount};
}

std::int64_t HardLinks::freedBy(std::span<const ScanNode* const> items) const {
    std::int64_t total = 0;
    for (const ScanNode* item : items)
        total = addBytes(total, item->allocatedSize());
    if (files_.empty() || items.empty()) return total;
    const std::unordered_set<const ScanNode*> held(items.begin(), items.end());
    auto inside = [&](const ScanNode* n) {
        for (; n; n = n->parent()) {
            if (held.count(n)) return true;
        }
        return false;
    };
    for (const File& f : files_) {
        std::uint32_t namesInside = 0;
        bool countedInside = false;
        const auto all = names(f);
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (!inside(all[i])) continue;
            ++namesInside;
            if (i == 0) countedInside = true;
        }
        if (namesInside == 0) continue;
        // What the items' totals hold of this file, against what it frees.
        const std::int64_t counted = mode_ == HardLinkMode::once
                                         ? (countedInside ? f.allocatedSize : 0)
                                         : f.allocatedSize * std::int64_t(namesInside);
        total = addBytes(total, -counted);
        if (namesInside >= f.linkCount) total = addBytes(total, f.allocatedSize);
    }
    return total;
}

} // namespace tb
