#include "analysis/quick_wins.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "analysis/cleanup_evidence.h"
#include "analysis/ghost_catalog.h"
#include "analysis/path_size.h"
#include "analysis/protected_paths.h"
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

std::vector<QuickWin> nodeModules(std::span<const ScanNode* const> nodes, const HomePlaces& places,
                                  const DiskEvidence* disk) {
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
    const std::string trash =
        places.dataHome.empty() ? std::string() : Path::appending(places.dataHome, "Trash");
    std::optional<TrackedPaths> tracked;
    if (disk) tracked.emplace(*disk);
    std::vector<QuickWin> wins;
    for (const ScanNode* n : nodes) {
        if (wins.size() >= nodeModulesLimit) break;
        if (!besideManifest.count(n)) continue;
        std::string path(n->path());
        // The queue refuses what is in a Trash, and vendored dependencies
        // that git tracks are the project's own files.
        if (ProtectedPaths::isInsideTrash(path, trash)) continue;
        if (tracked && tracked->holdsTracked(path)) continue;
        wins.push_back({path, "node_modules",
                        "Dependencies. Reinstall with the project package manager.", path,
                        n->allocatedSize()});
    }
    return wins;
}

std::vector<QuickWin> arrange(std::vector<QuickWin> wins) {
    std::vector<QuickWin> unique;
    for (auto& w : wins) {
        const bool seen = std::any_of(unique.begin(), unique.end(), [&](const QuickWin& u) {
            return Path::standardized(u.url) == Path::standardized(w.url);
        });
        if (!seen) unique.push_back(std::move(w));
    }
    // The outermost row that holds each one.
    for (auto& w : unique) {
        w.within.clear();
        for (const auto& other : unique) {
            const std::string outer = Path::standardized(other.url);
            if (outer == Path::standardized(w.url) || !Path::isSameOrInside(w.url, outer)) continue;
            if (w.within.empty() || Path::isSameOrInside(w.within, outer)) w.within = outer;
        }
    }
    std::vector<QuickWin> ordered;
    for (const auto& top : unique) {
        if (!top.within.empty()) continue;
        ordered.push_back(top);
        const std::string outer = Path::standardized(top.url);
        for (const auto& inner : unique) {
            if (inner.within == outer) ordered.push_back(inner);
        }
    }
    return ordered;
}

std::int64_t total(const std::vector<QuickWin>& wins) {
    std::int64_t sum = 0;
    for (const auto& w : wins) {
        if (w.within.empty()) sum += w.bytes;
    }
    return sum;
}

std::vector<QuickWin> nodeModules(const ScanNode& subtree) {
    const auto nodes = subtree.flattened();
    return nodeModules(std::span<const ScanNode* const>(nodes));
}

} // namespace tb::QuickWins
