// App footprints: every application bundle of a scan with the storage it
// keeps in the user's Library. Reads bundles, tests existence and probes
// unscanned locations: run it on a background task. Stateless.
#pragma once

#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class ScanForest;
class ScanNode;
struct AppSources;

struct AppFootprint {
    std::string id;       // the bundle's path (where the app lies)
    std::string name;     // display name, else bundle name, else the file name
    std::string bundleID; // "Unknown bundle" when the bundle has none; else the
                          // Flatpak id, snap name or desktop-file id
    std::string url;      // the bundle's path
    std::int64_t appBytes = 0;
    std::int64_t relatedBytes = 0;
    std::vector<std::string> relatedPaths; // the related locations that exist
    std::string kind = "bundle";           // "bundle", "flatpak", "snap", "appimage", "desktop"
    std::vector<std::string> packages;     // dpkg packages its app bytes count
    std::string problem;                   // why it cannot start, when it cannot

    bool operator==(const AppFootprint&) const = default;
};

namespace StorageInsights {

inline constexpr std::size_t footprintLimit = 120;
inline constexpr std::string_view unknownBundle = "Unknown bundle";

// Every related location, whether it exists or not.
std::vector<std::string> relatedPaths(std::string_view name, std::string_view bundleID,
                                      const std::string& home);

// At most 120 footprints, largest app-plus-related bytes first (node-list
// order at equal sizes). Sizes of scanned locations come from the scan.
// Application bundles and the Linux applications of `sources`.
std::vector<AppFootprint> apps(std::span<const ScanNode* const> nodes, const AppSources& sources,
                               std::stop_token stop = {});
std::vector<AppFootprint> apps(std::span<const ScanNode* const> nodes, const std::string& home,
                               std::stop_token stop = {});
std::vector<AppFootprint> apps(const ScanForest& forest, const std::string& home,
                               std::stop_token stop = {});
// With the current user's Home folder (no related locations without one).
std::vector<AppFootprint> apps(const ScanForest& forest, std::stop_token stop = {});

} // namespace StorageInsights

} // namespace tb
