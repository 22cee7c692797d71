#include "scan/forest_edit.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_set>

#include "base/path.h"
#include "platform/file_system.h"
#include "scan/directory_walker.h"

namespace tb::ForestEdit {
namespace {

using FileKey = std::tuple<std::uint64_t, std::int64_t, std::int32_t>;

FileKey keyOf(const ScanNode* n) {
    const Date m = n->modified();
    return {n->inode(), m.seconds, m.nanoseconds};
}

// Copies a tree into a new arena, leaving out some subtrees and putting one
// walked item in, and gathers the names of files with several again. The
// walk's devices are not kept in a forest: each file gets a number of its
// own in their place, which groups its names just as well.
class Copier {
public:
    Copier(const ScanForest& source, std::span<const ScanNode* const> follow)
        : source_(source), follow_(follow.begin(), follow.end()) {
        const HardLinks& links = source.links();
        for (const ScanNode* n : source.nodes()) {
            const HardLinks::File* f = links.file(n);
            if (!f || fileDevice_.count(f)) continue;
            const std::uint64_t device = ++devices_;
            fileDevice_.emplace(f, device);
            keyDevice_.emplace(keyOf(links.names(*f).front()), device);
        }
    }

    std::unordered_set<const ScanNode*> skip;
    const ScanNode* graftParent = nullptr;
    const WalkedItem* item = nullptr;
    std::string graftName;
    std::optional<ScanContext> context; // the source's when none

    Edited run() {
        const ScanNode* old = source_.root();
        auto arena = std::make_shared<NodeArena>();
        arena_ = arena.get();
        NodeFields root = fieldsOf(old, source_.links(), nullptr);
        const std::string rootPath = old->path();
        root.path = rootPath;
        ScanNode* top = make(root, old, source_.links());

        struct Frame {
            const ScanNode* old;
            ScanNode* copy;
            const HardLinks* links;
        };
        std::vector<Frame> stack{{old, top, &source_.links()}};
        std::vector<ScanNode*> children;
        while (!stack.empty()) {
            const Frame f = stack.back();
            stack.pop_back();
            children.clear();
            for (const ScanNode* c : f.old->children()) {
                if (skip.count(c)) continue;
                if (f.old == graftParent && c->name() == graftName) {
                    left(c);
                    continue;
                }
                children.push_back(make(fieldsOf(c, *f.links, f.copy), c, *f.links));
                if (c->isDirectory()) stack.push_back({c, children.back(), f.links});
            }
            if (f.old == graftParent) {
                const ScanNode* r = item->forest.root();
                NodeFields fields = fieldsOf(r, item->forest.links(), f.copy);
                fields.name = graftName;
                fields.inode = item->inode;
                fields.modified = item->modified;
                children.push_back(make(fields, r, item->forest.links()));
                if (r->isDirectory()) stack.push_back({r, children.back(), &item->forest.links()});
                // A walk counts what it listed, not the folder it started from.
                visited_ += item->forest.visited() + (r->isDirectory() ? 1 : 0);
                unreadable_ += item->forest.unreadable();
            }
            arena_->setChildren(f.copy, children);
        }
        top->rollup();

        // A name left alone, of a file whose volume knows no other, is a
        // plain file again.
        std::map<std::uint64_t, std::size_t> perDevice;
        for (const LinkedName& l : names_)
            ++perDevice[l.device];
        std::erase_if(names_, [&](const LinkedName& l) {
            return perDevice[l.device] < 2 && l.linkCount < 2;
        });
        const std::int64_t unreadable = std::max<std::int64_t>(0, unreadable_);
        const std::int64_t visited = std::max<std::int64_t>(0, visited_);
        ScanForest forest(NodeTree{std::move(arena), top}, unreadable, visited,
                          context ? std::move(*context) : source_.context(),
                          ScanForest::WalkedLinks{std::move(names_), source_.links().mode()});
        return Edited{std::move(forest), std::move(copies_)};
    }

    // What leaves the tree stops counting toward its totals.
    void left(const ScanNode* gone) {
        for (const ScanNode* n : gone->flattened()) {
            --visited_;
            if (n->unreadable()) --unreadable_;
        }
    }

private:
    // A name counted elsewhere holds 0 bytes in the tree: the copy starts
    // from the file's own sizes, to be counted again.
    static NodeFields fieldsOf(const ScanNode* n, const HardLinks& links, const ScanNode* parent) {
        NodeFields f{.name = n->name(),
                     .isDirectory = n->isDirectory(),
                     .inode = n->inode(),
                     .modified = n->modified(),
                     .mayShareBlocks = n->mayShareBlocks(),
                     .unreadable = n->unreadable(),
                     .id = n->id(),
                     .parent = parent};
        if (!n->isDirectory()) {
            f.logicalSize = n->logicalSize();
            f.allocatedSize = n->allocatedSize();
            if (const HardLinks::File* file = links.file(n)) {
                f.logicalSize = file->logicalSize;
                f.allocatedSize = file->allocatedSize;
            }
        }
        return f;
    }

    ScanNode* make(const NodeFields& fields, const ScanNode* old, const HardLinks& links) {
        ScanNode* copy = arena_->make(fields);
        if (follow_.count(old)) copies_.emplace(old, copy);
        if (old->isDirectory()) return copy;
        const HardLinks::File* file = links.file(old);
        std::uint64_t device = 0;
        std::uint32_t linkCount = 0;
        if (file && &links == &source_.links()) {
            device = fileDevice_.at(file);
            linkCount = file->linkCount;
        } else if (const auto it = keyDevice_.find(keyOf(old)); it != keyDevice_.end()) {
            // A name put back of a file that kept names in the tree.
            device = it->second;
            linkCount = file ? file->linkCount : 0;
        } else if (file) {
            device = ++devices_;
            keyDevice_.emplace(keyOf(old), device);
            linkCount = file->linkCount;
        }
        if (device != 0) names_.push_back({copy, device, linkCount});
        return copy;
    }

    const ScanForest& source_;
    const std::unordered_set<const ScanNode*> follow_;
    NodeArena* arena_ = nullptr;
    std::unordered_map<const ScanNode*, const ScanNode*> copies_;
    std::unordered_map<const HardLinks::File*, std::uint64_t> fileDevice_;
    std::map<FileKey, std::uint64_t> keyDevice_;
    std::uint64_t devices_ = 0;
    std::vector<LinkedName> names_;
    std::int64_t visited_ = source_.visited();
    std::int64_t unreadable_ = source_.unreadable();
};

} // namespace

const ScanNode* nodeAt(const ScanForest& forest, std::string_view path) {
    const ScanNode* at = forest.root();
    const std::string root = at->path();
    if (path == root) return at;
    if (!Path::isSameOrInside(path, root)) return nullptr;
    std::string_view rest = path.substr(root.size());
    while (at && !rest.empty()) {
        while (!rest.empty() && rest.front() == '/')
            rest.remove_prefix(1);
        const std::string_view name = rest.substr(0, rest.find('/'));
        rest.remove_prefix(name.size());
        if (name.empty()) break;
        const ScanNode* next = nullptr;
        for (const ScanNode* c : at->children()) {
            if (c->name() == name) {
                next = c;
                break;
            }
        }
        at = next;
    }
    return at;
}

std::optional<Edited> without(const ScanForest& forest, std::span<const std::string> paths,
                              std::span<const ScanNode* const> follow) {
    Copier copier(forest, follow);
    for (const std::string& p : paths) {
        const ScanNode* n = nodeAt(forest, p);
        if (n && n != forest.root()) copier.skip.insert(n);
    }
    if (copier.skip.empty()) return std::nullopt;
    // One inside another leaves once.
    for (const ScanNode* n : copier.skip) {
        bool nested = false;
        for (const ScanNode* p = n->parent(); p && !nested; p = p->parent())
            nested = copier.skip.count(p) > 0;
        if (!nested) copier.left(n);
    }
    return copier.run();
}

std::optional<Edited> with(const ScanForest& forest, const WalkedItem& item,
                           std::span<const ScanNode* const> follow) {
    const std::string path = item.forest.root()->path();
    const ScanNode* parent = nodeAt(forest, Path::parent(path));
    if (!parent || !parent->isDirectory() || path == forest.root()->path()) return std::nullopt;
    Copier copier(forest, follow);
    copier.graftParent = parent;
    copier.item = &item;
    copier.graftName = std::string(Path::lastComponent(path));
    return copier.run();
}

std::optional<Edited> refreshed(const ScanForest& forest, const WalkedItem& item,
                                std::span<const ScanNode* const> follow) {
    const std::string path = item.forest.root()->path();
    const ScanNode* old = nodeAt(forest, path);
    const ScanNode* parent = nodeAt(forest, Path::parent(path));
    if (!parent || !parent->isDirectory() || path == forest.root()->path()) return std::nullopt;
    ScanContext context = forest.context();
    context.createdAt = Date::now();
    std::int64_t unreadable = forest.unreadable() + item.forest.unreadable();
    if (old) {
        for (const ScanNode* n : old->flattened())
            if (n->unreadable()) --unreadable;
    }
    context.complete = unreadable <= 0;
    const auto gone = std::erase_if(
        context.leftOut, [&](const LeftOut& l) { return Path::isSameOrInside(l.path, path); });
    const ScanContext& walked = item.forest.context();
    for (const LeftOut& l : walked.leftOut) {
        if (context.leftOut.size() < ScanContext::kLeftOutLimit) context.leftOut.push_back(l);
    }
    context.leftOutCount =
        std::max<std::int64_t>(0, context.leftOutCount - std::int64_t(gone) + walked.leftOutCount);
    Copier copier(forest, follow);
    copier.graftParent = parent;
    copier.item = &item;
    copier.graftName = std::string(Path::lastComponent(path));
    copier.context = std::move(context);
    return copier.run();
}

std::optional<WalkedItem> walkItem(const std::string& path, HardLinkMode mode) {
    DirectoryWalker::Options options;
    options.workers = 2;
    options.hardLinks = mode;
    return walkItem(path, options);
}

std::optional<WalkedItem> walkItem(const std::string& path, const DirectoryWalker::Options& options,
                                   std::stop_token stop) {
    const auto values = platform::FileSystem::values(path);
    if (!values) return std::nullopt;
    const std::string root = DirectoryWalker::normalizedRoot(path);
    if (values->isDirectory && !values->isSymbolicLink) {
        ScanForest forest = DirectoryWalker::walk(
            root, [](const WalkProgress&) {}, stop, options);
        if (stop.stop_requested()) return std::nullopt;
        return WalkedItem{std::move(forest), values->identity, values->modified};
    }
    auto arena = std::make_shared<NodeArena>();
    ScanNode* node = arena->make({.path = root,
                                  .name = Path::lastComponent(root),
                                  .inode = values->identity,
                                  .modified = values->modified,
                                  .logicalSize = values->size,
                                  .allocatedSize = values->totalAllocated});
    // The tree it joins has the volume's context; this one needs none.
    ScanForest forest(NodeTree{std::move(arena), node}, 0, 1, ScanContext{});
    return WalkedItem{std::move(forest), values->identity, values->modified};
}

} // namespace tb::ForestEdit
