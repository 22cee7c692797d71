#include "analysis/insights_report.h"

#include "analysis/cleanup_catalog.h"
#include "analysis/cleanup_evidence.h"
#include "analysis/node_advice.h"
#include "analysis/protected_paths.h"
#include "platform/process_runner.h"
#include "scan/scan_forest.h"

namespace tb::Insights {
namespace {

// Pre-order below the root; a protected node is listed and not entered.
std::vector<std::string> topProtected(const ScanNode& root) {
    std::vector<std::string> found;
    std::vector<const ScanNode*> stack(root.children().rbegin(), root.children().rend());
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        if (ProtectedPaths::isProtected(n->path())) {
            found.emplace_back(n->path());
            continue;
        }
        for (auto it = n->children().rbegin(); it != n->children().rend(); ++it) {
            stack.push_back(*it);
        }
    }
    return found;
}

} // namespace

InsightsReport gather(const ScanForest& forest, const AppSources& sources,
                      const platform::ProcessRunner& runner, std::stop_token stop) {
    InsightsReport r;
    const auto& nodes = forest.nodes();
    // Git, when asked, runs through the same runner as every other tool.
    const SystemDiskEvidence disk(runner);
    r.cleanup = CleanupCatalog::candidates(forest, sources.places,
                                           LinuxApps::sandboxLeftovers(sources), disk);
    r.system = SystemReclaims::gather(sources, runner, std::chrono::seconds(10), stop);
    r.quickWins = QuickWins::discover(
        sources.places,
        [&stop](const std::string& path) {
            return PathSize::allocated(path, PathSize::defaultCap, stop);
        },
        stop);
    auto modules = QuickWins::nodeModules(nodes, sources.places, &disk);
    r.quickWins.insert(r.quickWins.end(), modules.begin(), modules.end());
    r.quickWins = QuickWins::arrange(std::move(r.quickWins));
    r.apps = StorageInsights::apps(nodes, sources, stop);
    if (const ScanNode* root = forest.root()) {
        r.leftovers =
            Uninstaller::graph(*root, std::span<const ScanNode* const>(nodes), sources, stop);
        r.protectedPaths = topProtected(*root);
    }
    for (const ScanNode* n : forest.files()) {
        // Only a file with more logical than allocated bytes can be sparse;
        // the rest are not asked for their extents.
        if (n->logicalSize() > n->allocatedSize() && NodeAdvice::kind(*n) == NodeKind::sparseDisk) {
            r.sparse.emplace_back(n->path());
        }
    }
    const std::string rootPath = forest.context().rootPath;
    if (auto v = VolumeAccounting::read(rootPath)) {
        r.truth = VolumeAccounting::truth(*v, forest.root() ? forest.root()->allocatedSize() : 0,
                                          forest.unreadable(), rootPath);
        r.volume = std::move(*v);
    }
    r.snapshots = SnapshotService::listVolume(
        r.volume && !r.volume->mountPoint.empty() ? r.volume->mountPoint : rootPath, runner, stop);
    return r;
}

} // namespace tb::Insights
