#include "scan/scan_forest.h"

#include <system_error>
#include <thread>

#include "base/tree.h"
#include "scan/size_ranking.h"
#include "scan/volume_accounting.h"

namespace tb {
namespace {

constexpr std::size_t kFilesWorthASecondThread = 100'000;

// The node at `path` below `root`, found name by name.
ScanNode* nodeAt(ScanNode* root, std::string_view rootPath, std::string_view path) {
    if (path.size() <= rootPath.size() || path.substr(0, rootPath.size()) != rootPath) {
        return nullptr;
    }
    std::string_view rest = path.substr(rootPath.size());
    if (rootPath != "/") {
        if (rest.front() != '/') return nullptr;
        rest.remove_prefix(1);
    }
    ScanNode* node = root;
    while (node && !rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        ScanNode* next = nullptr;
        for (ScanNode* c : node->children()) {
            if (c->name() == name) {
                next = c;
                break;
            }
        }
        node = next;
    }
    return node;
}

} // namespace

ScanForest::ScanForest(NodeTree tree, std::int64_t unreadable, std::int64_t visited,
                       std::optional<ScanContext> context, std::optional<WalkedLinks> links,
                       std::vector<std::string> excludePatterns) {
    auto d = std::make_shared<Data>();
    d->tree = std::move(tree);
    d->unreadable = unreadable;
    d->visited = visited;
    ScanNode* root = d->tree.root;
    // Before the sort: counting a file once lowers the totals of folders.
    const bool ordered = links && links->ordered && links->names.empty();
    if (links) d->links = HardLinks::settle(std::move(links->names), links->mode);
    if (!ordered) root->sortBySize();

    const bool fresh = !context;
    if (context) {
        d->context = std::move(*context);
        // A stored scan keeps which items were left out by path only.
        const std::string rootPath(root->url());
        for (const LeftOut& l : d->context.leftOut) {
            ScanNode* n = nodeAt(root, rootPath, l.path);
            if (n && n->children().empty()) n->setLeftOut(l.kind);
        }
    } else {
        const std::string rootPath(root->url());
        // The context keeps the volume's name and capacity, not the Trash.
        auto volume = VolumeAccounting::read(rootPath, VolumeAccounting::TrashMeasure::lastKnown);
        std::optional<VolumeSnapshot> snapshot;
        if (volume) snapshot = std::move(*volume);
        d->context = ScanContext::make(rootPath, snapshot, unreadable == 0, Date::now());
    }
    if (links) d->context.hardLinks = links->mode;
    if (fresh) d->context.excludePatterns = std::move(excludePatterns);

    // A walk's sizes are final by now: on a large tree its age bands are
    // counted over the tree on a second core while this one lists the nodes
    // and ranks the largest files in one pass. A stored tree's links are
    // recognised from that list first, as they may still change sizes; its
    // bands and ranking then run side by side over the list.
    const Date now = Date::now();
    const std::size_t count = d->tree.arena ? d->tree.arena->nodeCount() : 256;
    std::jthread beside; // joined on the way out, whatever happens below
    auto countBesideThis = [&](auto&& work) {
        try {
            beside = std::jthread(std::forward<decltype(work)>(work));
        } catch (const std::system_error&) {
            // No thread to spare: counted below, on this one.
        }
    };
    if (links && count >= kFilesWorthASecondThread) {
        countBesideThis([&] { d->ageBands = AgeLayout::bands(*root, now); });
    }

    // Exact room up front: doubling a million-entry list holds the old and
    // the new copy at once.
    d->nodes.reserve(count);
    d->largestFiles.reserve(largestFilesLimit);
    Tree::preorder(root, [&](const ScanNode* n) {
        d->nodes.push_back(n);
        if (fresh && n->leftOut() != LeftOutKind::none) {
            if (d->context.leftOut.size() < ScanContext::kLeftOutLimit) {
                d->context.leftOut.push_back({n->path(), n->leftOut()});
            }
            ++d->context.leftOutCount;
        }
        if (n->isDirectory()) return;
        ++d->fileCount;
        if (links) SizeLeaders::insert(n, d->largestFiles, largestFilesLimit);
    });

    const FileList files(d->nodes, d->fileCount);
    if (!links) {
        d->links = HardLinks::recognise(d->nodes, d->context.hardLinks);
        if (d->fileCount >= kFilesWorthASecondThread) {
            countBesideThis([&] { d->ageBands = AgeLayout::bands(files, now); });
        }
        for (const ScanNode* f : files)
            SizeLeaders::insert(f, d->largestFiles, largestFilesLimit);
    }
    if (beside.joinable()) {
        beside.join();
    } else {
        d->ageBands = AgeLayout::bands(files, now);
    }
    data_ = std::move(d);
}

} // namespace tb
