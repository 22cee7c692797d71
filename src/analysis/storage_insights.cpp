#include "analysis/storage_insights.h"

#include <algorithm>
#include <optional>

#include "analysis/app_bundle.h"
#include "analysis/ghost_catalog.h"
#include "analysis/linux_apps.h"
#include "analysis/path_size.h"
#include "platform/bundle_reader.h"
#include "platform/file_system.h"
#include "scan/scan_forest.h"

namespace tb::StorageInsights {

std::vector<std::string> relatedPaths(std::string_view name, std::string_view bundleID,
                                      const std::string& home) {
    std::vector<std::string> urls;
    for (auto& spot : GhostCatalog::leftoverSpots(name, bundleID, home)) {
        urls.push_back(std::move(spot.url));
    }
    return urls;
}

namespace {

std::vector<AppFootprint> footprints(std::span<const ScanNode* const> nodes,
                                     const std::optional<AppSources>& sources,
                                     const std::stop_token& stop) {
    const std::optional<std::string> home =
        sources ? std::optional<std::string>(sources->places.home) : std::nullopt;
    std::vector<const ScanNode*> bundles;
    for (const ScanNode* n : nodes) {
        if (AppBundle::isAppBundle(*n)) bundles.push_back(n);
    }
    std::vector<InstalledApp> linux;
    if (sources) linux = LinuxApps::installed(*sources, nodes, stop);
    if (bundles.empty() && linux.empty()) return {};
    const PathSizeIndex index = PathSize::indexMap(nodes);

    std::vector<AppFootprint> result;
    for (const auto& app : linux) {
        if (stop.stop_requested()) break;
        result.push_back(LinuxApps::footprint(app, sources->places, index, stop));
    }
    for (const ScanNode* bundle : bundles) {
        if (stop.stop_requested()) break;
        AppFootprint app;
        app.id = std::string(bundle->path());
        app.url = app.id;
        app.appBytes = bundle->allocatedSize();
        const platform::BundleInfo info = platform::BundleReader::read(app.id);
        app.bundleID = info.identifier.value_or(std::string(unknownBundle));
        app.name = info.displayName ? *info.displayName
                   : info.name      ? *info.name
                                    : AppBundle::nameWithoutExtension(app.id);
        if (home) {
            for (auto& url : relatedPaths(app.name, app.bundleID, *home)) {
                if (!platform::FileSystem::exists(url).exists) continue;
                app.relatedBytes += PathSize::allocated(url, index, stop);
                app.relatedPaths.push_back(std::move(url));
            }
        }
        result.push_back(std::move(app));
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const AppFootprint& a, const AppFootprint& b) {
                         return a.appBytes + a.relatedBytes > b.appBytes + b.relatedBytes;
                     });
    if (result.size() > footprintLimit) result.resize(footprintLimit);
    return result;
}

std::optional<AppSources> sourcesOf(const std::optional<std::string>& home) {
    if (!home) return std::nullopt;
    return AppSources::forHome(HomePlaces::of(*home));
}

} // namespace

std::vector<AppFootprint> apps(std::span<const ScanNode* const> nodes, const AppSources& sources,
                               std::stop_token stop) {
    return footprints(nodes, sources, stop);
}

std::vector<AppFootprint> apps(std::span<const ScanNode* const> nodes, const std::string& home,
                               std::stop_token stop) {
    return footprints(nodes, sourcesOf(home), stop);
}

std::vector<AppFootprint> apps(const ScanForest& forest, const std::string& home,
                               std::stop_token stop) {
    return footprints(forest.nodes(), sourcesOf(home), stop);
}

std::vector<AppFootprint> apps(const ScanForest& forest, std::stop_token stop) {
    return footprints(forest.nodes(), sourcesOf(platform::SpecialFolders::home()), stop);
}

} // namespace tb::StorageInsights
