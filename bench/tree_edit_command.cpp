// tarnbeck-bench tree-edit PATH   walks PATH, then times what the window
//                                 does on the interface thread when its
//                                 largest file leaves for the Trash (the tree
//                                 without it) and when it is put back (the
//                                 tree with it again): one JSON line.
#include <chrono>
#include <iostream>

#include "bench_command.h"
#include "scan/directory_walker.h"
#include "scan/forest_edit.h"

namespace tb::bench {
namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int treeEdit(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "usage: tarnbeck-bench tree-edit PATH\n";
        return 2;
    }
    const ScanForest forest = DirectoryWalker::walk(args[0], [](const WalkProgress&) {});
    const ScanNode* largest = nullptr;
    for (const ScanNode* n : forest.nodes())
        if (!n->isDirectory() && (!largest || n->allocatedSize() > largest->allocatedSize()))
            largest = n;
    if (!largest) {
        std::cerr << "no file under " << args[0] << "\n";
        return 1;
    }
    const std::string path(largest->path());
    // What follows a move: the selection and the folders above it.
    std::vector<const ScanNode*> follow;
    for (const ScanNode* n = largest->parent(); n; n = n->parent())
        follow.push_back(n);

    auto start = std::chrono::steady_clock::now();
    auto without = ForestEdit::without(forest, std::vector{path}, follow);
    const double withoutSeconds = secondsSince(start);
    if (!without) return 1;

    ForestEdit::WalkedItem item{DirectoryWalker::walk(path, [](const WalkProgress&) {}),
                                largest->inode(), largest->modified()};
    start = std::chrono::steady_clock::now();
    auto with = ForestEdit::with(without->forest, item);
    const double withSeconds = secondsSince(start);
    if (!with) return 1;

    std::cout << "{\"root\":" << jsonString(args[0]) << ",\"entries\":" << forest.nodes().size()
              << ",\"without_s\":" << withoutSeconds << ",\"with_s\":" << withSeconds
              << ",\"peak_rss_kb\":" << peakRssKb() << "}\n";
    return 0;
}

const Registration registration("tree-edit", treeEdit);

} // namespace
} // namespace tb::bench
