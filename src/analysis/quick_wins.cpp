#include "analysis/quick_wins.h"

#include <algorithm>

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
        const std::string& base = ghost.base == GhostCatalog::Base::cacheHome ? places.cacheHome
                                  : ghost.base == GhostCatalog::Base::dataHome ? places.dataHome
                                                                               : places.home;
        std::string url = ghost.relativePath.empty() ? base
                                                     : Path::appending(base, ghost.relativePath);
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
    std::vector<QuickWin> wins;
    for (const ScanNode* n : nodes) {
        if (wins.size() >= nodeModulesLimit) break;
        if (!n->isDirectory() || n->name() != "node_modules" ||
            n->allocatedSize() <= nodeModulesMinimumBytes) {
            continue;
        }
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
