// Everything the analyses find in one finished scan, gathered at once for
// headless checks (the benchmark tool's "insights" command). Blocking: runs
// reading tools and probes sizes. Stateless; any thread.
#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/cleanup_candidate.h"
#include "analysis/linux_apps.h"
#include "analysis/quick_wins.h"
#include "analysis/snapshot_service.h"
#include "analysis/storage_insights.h"
#include "analysis/system_reclaim.h"
#include "analysis/uninstaller.h"
#include "scan/volume_accounting.h"

namespace tb {

class ScanForest;

namespace platform {
class ProcessRunner;
} // namespace platform

struct InsightsReport {
    std::vector<CleanupCandidate> cleanup;
    std::vector<QuickWin> quickWins;
    std::vector<AppFootprint> apps;
    std::vector<Leftover> leftovers;
    std::vector<SnapshotInfo> snapshots;
    std::vector<SystemReclaim> system; // the machine's, whatever the scan root
    // The top-most paths strictly below the scan root that may not be queued.
    std::vector<std::string> protectedPaths;
    std::vector<std::string> sparse; // files classified as sparse
    std::optional<VolumeSnapshot> volume;
    std::optional<TruthModel> truth;
};

namespace Insights {

InsightsReport gather(const ScanForest& forest, const AppSources& sources,
                      const platform::ProcessRunner& runner, std::stop_token stop = {});

} // namespace Insights

} // namespace tb
