// Rebuildable storage in a finished scan: folders that a known tool will
// regenerate or fetch again, with owner, reason, evidence and risk. Reads
// only the forest's nodes, never the disk; pure and safe on any thread.
//
// Where a name alone could mislead (a "target" or "build" folder, a "venv"),
// the folder counts only with the marker file its tool leaves beside or
// inside it, and a folder that holds ".git" is never rebuildable.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/cleanup_candidate.h"
#include "analysis/home_places.h"

namespace tb {

class ScanForest;
class ScanNode;

struct CleanupDescriptor {
    std::string_view owner;
    std::string_view reason;
    std::string_view evidence;
    CleanupRisk risk = CleanupRisk::safe;

    bool operator==(const CleanupDescriptor&) const = default;
};

namespace CleanupCatalog {

// Folders above this many allocated bytes are listed (strictly above).
inline constexpr std::int64_t minimumBytes = 1'000'000;

// The first path or name rule that matches (case-sensitive substrings, the
// lowercased name); none when no rule does. Knows nothing of markers.
std::optional<CleanupDescriptor> descriptor(std::string_view path, std::string_view name);

// The rule for one scanned folder, with its evidence: marker files among
// `folder`'s children or its `parent`'s (none for the scan root), and the
// user's cache folder from `places`.
std::optional<CleanupDescriptor> classify(const ScanNode& folder, const ScanNode* parent,
                                          const HomePlaces& places);

// Rules found by reading the system rather than the scan (an unused Flatpak
// runtime, an old snap revision), by exact path; they may name files too.
using KnownPaths = std::unordered_map<std::string, CleanupDescriptor>;

// Largest first, outermost folder kept where matches nest; no count cap.
std::vector<CleanupCandidate> candidates(const ScanForest& forest, const HomePlaces& places,
                                         const KnownPaths& known = {});
std::vector<CleanupCandidate> candidates(std::span<const ScanNode* const> nodes,
                                         const HomePlaces& places = {},
                                         const KnownPaths& known = {});
// With the current user's folders and the installed sandboxes: reads
// Flatpak metadata and snap links, so run it on a background task.
std::vector<CleanupCandidate> candidates(const ScanForest& forest);

} // namespace CleanupCatalog

} // namespace tb
