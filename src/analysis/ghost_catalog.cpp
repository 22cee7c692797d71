#include "analysis/ghost_catalog.h"

#include <algorithm>

#include "analysis/text.h"
#include "base/path.h"

namespace tb::GhostCatalog {

std::vector<LeftoverSpot> leftoverSpots(std::string_view name, std::string_view bundleId,
                                        const std::string& home) {
    const std::string n(text::trimmed(name));
    const std::string b(text::trimmed(bundleId));
    std::vector<LeftoverSpot> spots;
    const auto add = [&](const std::string& relative, std::string_view label) {
        std::string url = Path::appending(home, relative);
        const bool seen = std::any_of(spots.begin(), spots.end(),
                                      [&](const LeftoverSpot& s) { return s.url == url; });
        if (!seen) spots.push_back({std::move(url), std::string(label)});
    };
    if (!n.empty()) {
        add("Library/Application Support/" + n, "Application support");
        add("Library/Logs/" + n, "Logs");
    }
    if (!b.empty()) {
        add("Library/Caches/" + b, "Caches");
        add("Library/Preferences/" + b + ".plist", "Preferences");
        add("Library/Containers/" + b, "Sandbox container");
        add("Library/Saved Application State/" + b + ".savedState", "Saved state");
        add("Library/Application Support/" + b, "Application support");
    }
    return spots;
}

} // namespace tb::GhostCatalog
