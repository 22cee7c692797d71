#include "analysis/quick_wins.h"

#include <algorithm>
#include <unordered_set>

#include "analysis/ghost_catalog.h"
#include "analysis/path_size.h"
#include "base/path.h"
#include "platform/file_system.h"
#include "scan/scan_node.h"

namespace tb::QuickWins {

std::vector<QuickWin> discover(const std::string& home, std::stop_token stop) {
    return discover(
        home,
        [&stop](const std::string& path) {
            return PathSize::allocated(path, PathSize::defaultCap, stop);
        },
        stop);
}

std::vector<QuickWin> discover(const std::string& home, const SizeProbe& measure,
                               std::stop_token stop) {
    return discover(HomePlaces::of(home), measure, stop);
}

std::vector<QuickWin> discover(const HomePlaces& places, const SizeProbe& measure,
                               std::stop_token stop) {
    std::vector<QuickWin> wins;
    for (const auto& ghost : GhostCatalog::known) {
        if (stop.stop_requested()) break;
        const std::string& base = ghost.base == GhostCatalog::Base::cacheHome  ? places.cacheHome
                                  : ghost.base == GhostCatalog::Base::dataHome ? places.dataHome
                                                                               : places.home;
        std::string url =
            ghost.relativePath.empty() ? base : Path::appending(base, ghost.relativePath);
        if (!platform::FileSystem::exists(url).exists) continue;
        const std::int64_t bytes = measure(url);
        if (bytes < ghost.minBytes) continue;
        wins.push_back({std::string(ghost.id), std::string(ghost.title), std::string(ghost.why),
                        std::move(url), bytes});
    }
    std::stable_sort(wins.begin(), wins.end(),
                     [](const QuickWin& a, const QuickWin& b) { return a.bytes > b.bytes; });
    return wins;
}

std::vector<QuickWin> discover() {
    const auto home = platform::SpecialFolders::home();
    if (!home) return {};
    return discover(*home);
}

std::vector<QuickWin> nodeModules(std::span<const ScanNode* const> nodes) {
    const auto isCandidate = [](const ScanNode* n) {
        return n->isDirectory() && n->name() == "node_modules" &&
               n->allocatedSize() > nodeModulesMinimumBytes;
    };
    // Only a project's dependencies can be reinstalled with its package
    // manager: the folder counts beside a package.json (a global
    // /usr/lib/node_modules has none). Nodes know only their children.
    std::unordered_set<const ScanNode*> besideManifest;
    for (const ScanNode* n : nodes) {
        if (!n->isDirectory()) continue;
        const auto children = n->children();
        const bool manifest = std::any_of(children.begin(), children.end(), [](const ScanNode* c) {
            return !c->isDirectory() && c->name() == "package.json";
        });
        if (!manifest) continue;
        for (const ScanNode* c : children) {
            if (isCandidate(c)) besideManifest.insert(c);
        }
    }
    std::vector<QuickWin> wins;
    for (const ScanNode* n : nodes) {
        if (wins.size() >= nodeModulesLimit) break;
        if (!besideManifest.count(n)) continue;
        std::string path(n->path());
        wins.push_back({path, "node_modules",
                        "Dependencies. Reinstall with the project package manager.", path,
                        n->allocatedSize()});
    }
    return wins;
}

std::vector<QuickWin> nodeModules(const ScanNode& subtree) {
    const auto nodes = subtree.flattened();
    return nodeModules(std::span<const ScanNode* const>(nodes));
}

} // namespace tb::QuickWins
