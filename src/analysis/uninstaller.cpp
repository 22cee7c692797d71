#include "analysis/uninstaller.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

#include "analysis/app_bundle.h"
#include "analysis/ghost_catalog.h"
#include "analysis/linux_apps.h"
#include "analysis/path_size.h"
#include "analysis/text.h"
#include "base/path.h"
#include "platform/bundle_reader.h"
#include "platform/file_system.h"
#include "scan/scan_node.h"

namespace tb::Uninstaller {
namespace {

void appendExisting(std::string_view name, std::string_view bundleId, const std::string& home,
                    const PathSizeIndex& index, const std::stop_token& stop,
                    std::vector<Leftover>& out) {
    for (auto& spot : GhostCatalog::leftoverSpots(name, bundleId, home)) {
        if (stop.stop_requested()) return;
        if (!platform::FileSystem::exists(spot.url).exists) continue;
        const std::int64_t bytes = PathSize::allocated(spot.url, index, stop);
        out.push_back({spot.url, spot.url, std::move(spot.label), bytes,
                       std::string(name.empty() ? bundleId : name)});
    }
}

// What a location in the Home folder holds, by the XDG folder it is in.
std::string linuxLabel(const std::string& path, const HomePlaces& places) {
    if (Path::isSameOrInside(path, Path::appending(places.home, ".var/app"))) {
        return "Flatpak app data";
    }
    if (Path::isSameOrInside(path, Path::appending(places.home, "snap"))) return "Snap data";
    if (Path::isSameOrInside(path, places.configHome)) return "Configuration";
    if (Path::isSameOrInside(path, places.cacheHome)) return "Caches";
    if (Path::isSameOrInside(path, places.stateHome)) return "State";
    return "Application data";
}

void appendLinux(const InstalledApp& app, const HomePlaces& places, const PathSizeIndex& index,
                 const std::stop_token& stop, std::vector<Leftover>& out) {
    for (auto& path : LinuxApps::relatedLocations(app, places)) {
        if (stop.stop_requested()) return;
        const std::int64_t bytes = PathSize::allocated(path, index, stop);
        out.push_back({path, path, linuxLabel(path, places), bytes, app.name});
    }
}

} // namespace

std::vector<Leftover> leftovers(std::string_view appName, std::string_view bundleId,
                                const std::string& home, const ScanNode* index,
                                std::stop_token stop) {
    std::vector<Leftover> out;
    const PathSizeIndex sizes = PathSize::indexMap(index);
    appendExisting(appName, bundleId, home, sizes, stop, out);
    const std::string query(text::trimmed(appName));
    if (!query.empty()) {
        appendLinux({"query", query, query, {}, {}}, HomePlaces::of(home), sizes, stop, out);
        const std::string varApp = Path::appending(home, ".var/app/" + query);
        if (platform::FileSystem::exists(varApp).exists &&
            std::none_of(out.begin(), out.end(),
                         [&](const Leftover& l) { return l.id == varApp; })) {
            out.push_back({varApp, varApp, "Flatpak app data",
                           PathSize::allocated(varApp, sizes, stop), query});
        }
    }
    return out;
}

std::vector<Leftover> graph(const ScanNode& root,
                            std::optional<std::span<const ScanNode* const>> nodes,
                            const std::string& home, std::stop_token stop,
                            const std::string& applications) {
    return graph(root, nodes, AppSources::forHome(HomePlaces::of(home)), stop, applications);
}

std::vector<Leftover> graph(const ScanNode& root,
                            std::optional<std::span<const ScanNode* const>> nodes,
                            const AppSources& sources, std::stop_token stop,
                            const std::string& applications) {
    const std::string& home = sources.places.home;
    std::vector<const ScanNode*> flattened;
    if (!nodes) {
        flattened = root.flattened();
        nodes = std::span<const ScanNode* const>(flattened);
    }
    const PathSizeIndex index = PathSize::indexMap(*nodes);

    std::vector<Leftover> found;
    std::unordered_set<std::string> knownNames;
    for (const ScanNode* n : *nodes) {
        if (stop.stop_requested()) break;
        if (!AppBundle::isAppBundle(*n)) continue;
        const std::string path(n->path());
        const platform::BundleInfo info = platform::BundleReader::read(path);
        const std::string identifier = info.identifier.value_or("");
        const std::string name = info.name ? *info.name : AppBundle::nameWithoutExtension(path);
        if (!name.empty()) knownNames.insert(name);
        if (!identifier.empty()) knownNames.insert(identifier);
        appendExisting(name, identifier, home, index, stop, found);
    }

    const std::string support = Path::appending(home, "Library/Application Support");
    if (auto names = platform::FileSystem::listNames(support)) {
        for (const std::string& n : *names) {
            if (stop.stop_requested()) break;
            if (n.empty() || n[0] == '.') continue;
            if (knownNames.count(n)) continue;
            if (platform::FileSystem::exists(Path::appending(applications, n + ".app")).exists) {
                continue;
            }
            std::string path = Path::appending(support, n);
            const std::int64_t bytes = PathSize::allocated(path, index, stop);
            found.push_back({path, path, std::string(orphanReason), bytes, n, true});
        }
    }

    const auto linux = LinuxApps::installed(sources, *nodes, stop);
    for (const auto& app : linux)
        appendLinux(app, sources.places, index, stop, found);
    auto gone = LinuxApps::orphans(linux, sources, index, stop);
    std::move(gone.begin(), gone.end(), std::back_inserter(found));

    std::vector<Leftover> result;
    std::unordered_set<std::string> seen;
    for (auto& l : found) {
        if (seen.insert(l.id).second) result.push_back(std::move(l));
    }
    return result;
}

} // namespace tb::Uninstaller
