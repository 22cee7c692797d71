// Quick wins: large, well-known space consumers the user can act on at once.
// `discover` measures the catalog on disk (blocking: call it off the
// interface thread); `nodeModules` reads only scanned sizes. Stateless.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/home_places.h"

namespace tb {
class DiskEvidence;
} // namespace tb

namespace tb {

class ScanNode;

struct QuickWin {
    std::string id;
    std::string title;
    std::string why;
    std::string url; // the location's path
    std::int64_t bytes = 0;
    // The row this one lies inside ("" for none): its bytes are already
    // part of that row's.
    std::string within;

    bool operator==(const QuickWin&) const = default;
};

namespace QuickWins {

inline constexpr std::int64_t nodeModulesMinimumBytes = 5'000'000; // strictly above
inline constexpr std::size_t nodeModulesLimit = 12;

// The catalog locations below `home` that exist and reach their minimum,
// largest first (catalog order at equal sizes).
std::vector<QuickWin> discover(const std::string& home, std::stop_token stop = {});
// The same for the current user's Home folder; empty without one.
std::vector<QuickWin> discover();
// With another measure of each existing location in place of the capped probe.
using SizeProbe = std::function<std::int64_t(const std::string& path)>;
std::vector<QuickWin> discover(const std::string& home, const SizeProbe& measure,
                               std::stop_token stop = {});
// The same with the XDG folders given.
std::vector<QuickWin> discover(const HomePlaces& places, const SizeProbe& measure,
                               std::stop_token stop = {});

// The first 12 folders named exactly "node_modules" above 5,000,000 bytes
// beside a package.json, in the given order; none inside a Trash (the home
// one of `places`, or one on another volume), and with `disk`, none that
// holds files git tracks.
std::vector<QuickWin> nodeModules(std::span<const ScanNode* const> nodes,
                                  const HomePlaces& places = {},
                                  const DiskEvidence* disk = nullptr);
// The same over the node and all its descendants.
std::vector<QuickWin> nodeModules(const ScanNode& subtree);

// Each row once, every row that lies inside another moved right below the
// outermost one and marked `within` it; otherwise in the given order.
std::vector<QuickWin> arrange(std::vector<QuickWin> wins);
// What the rows free together: rows inside another count once, as part of it.
std::int64_t total(const std::vector<QuickWin>& wins);

} // namespace QuickWins

} // namespace tb
