// Rebuildable storage in a finished scan: folders that a known tool will
// regenerate or fetch again, with owner, reason, evidence and risk. Reads
// only the forest's nodes, never the disk; pure and safe on any thread.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/cleanup_candidate.h"

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

// The first rule that matches the path (case-sensitive substrings) or the
// lowercased name; none when no rule does.
std::optional<CleanupDescriptor> descriptor(std::string_view path, std::string_view name);

// Largest first, outermost folder kept where matches nest; no count cap.
std::vector<CleanupCandidate> candidates(const ScanForest& forest);
std::vector<CleanupCandidate> candidates(std::span<const ScanNode* const> nodes);

} // namespace CleanupCatalog

} // namespace tb
