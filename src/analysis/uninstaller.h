// Leftover application data: the Library locations of one named application,
// or of every application in a scan plus Application Support folders that no
// installed application owns. Tests existence, reads bundles, lists one
// folder and probes sizes: run it on a background task. Stateless.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class ScanNode;
struct AppSources;

struct Leftover {
    std::string id;     // the location's path
    std::string url;    // the same path
    std::string reason; // the location's label, or the orphan text
    std::int64_t bytes = 0;
    std::string owner;   // the application it belongs or belonged to
    bool orphan = false; // that application is no longer installed

    bool operator==(const Leftover&) const = default;
};

namespace Uninstaller {

inline constexpr std::string_view orphanReason =
    "Orphaned application support \u2014 no matching app in /Applications";

// The existing locations of one application; sizes from the subtree of
// `index` where it was scanned, else probed.
std::vector<Leftover> leftovers(std::string_view appName, std::string_view bundleId,
                                const std::string& home, const ScanNode* index,
                                std::stop_token stop = {});

// The locations of every application bundle among `nodes` (the subtree of
// `root` when absent), then the orphaned Application Support folders; each
// path once, first occurrence kept. `applications` is where installed
// applications are looked for.
std::vector<Leftover> graph(const ScanNode& root,
                            std::optional<std::span<const ScanNode* const>> nodes,
                            const std::string& home, std::stop_token stop = {},
                            const std::string& applications = "/Applications");
// The same with the Linux applications of `sources`: each one's locations in
// the Home folder, then the app data whose Flatpak or snap is gone.
std::vector<Leftover> graph(const ScanNode& root,
                            std::optional<std::span<const ScanNode* const>> nodes,
                            const AppSources& sources, std::stop_token stop = {},
                            const std::string& applications = "/Applications");

} // namespace Uninstaller

} // namespace tb
