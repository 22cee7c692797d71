// Rebuildable storage in a finished scan: folders that a known tool will
// regenerate or fetch again, with owner, reason, evidence, risk and how it
// comes back; and files a user would review (core dumps, big logs).
//
// A name alone proves nothing: a folder counts only with the evidence its
// tool leaves beside or inside it (a manifest, a cache tag, compiled files
// only), a folder that holds ".git" is never rebuildable, and nothing that
// git tracks is offered. The scan decides most rules; a few heads of files
// and git are read through a DiskEvidence, so run it off the interface
// thread.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/cleanup_candidate.h"
#include "analysis/cleanup_evidence.h"
#include "analysis/home_places.h"
#include "scan/hard_links.h"

namespace tb {

class ScanForest;
class ScanNode;

struct CleanupDescriptor {
    std::string_view owner;
    std::string_view reason;
    std::string_view evidence;
    CleanupRisk risk = CleanupRisk::safe;
    std::string_view regenerate; // how it comes back; "" when nothing does

    bool operator==(const CleanupDescriptor&) const = default;
};

// A descriptor with texts made for one node (a quoted cache tag, a lock file).
struct CleanupFinding {
    std::string owner;
    std::string reason;
    std::string evidence;
    CleanupRisk risk = CleanupRisk::safe;
    std::string regenerate;

    static CleanupFinding of(const CleanupDescriptor& d) {
        return {std::string(d.owner), std::string(d.reason), std::string(d.evidence), d.risk,
                std::string(d.regenerate)};
    }
    bool operator==(const CleanupFinding&) const = default;
};

namespace CleanupCatalog {

// Folders above this many allocated bytes are listed (strictly above).
inline constexpr std::int64_t minimumBytes = 1'000'000;

// Big log files in the home are listed from this many allocated bytes.
inline constexpr std::int64_t bigLogBytes = 20'000'000;

// The first path rule that matches (case-sensitive substrings, the
// lowercased name); none when no rule does. Knows nothing of markers.
std::optional<CleanupDescriptor> descriptor(std::string_view path, std::string_view name);

// The rule for one scanned node, with its evidence: marker files among its
// children or its parent's, the user's folders from `places`, and what
// `disk` reads (a cache tag, a core header, install records). Git is not
// asked here.
std::optional<CleanupFinding> classify(const ScanNode& node, const HomePlaces& places,
                                       const DiskEvidence& disk);

// Rules found by reading the system rather than the scan (an unused Flatpak
// runtime, an old snap revision), by exact path; they may name files too.
using KnownPaths = std::unordered_map<std::string, CleanupDescriptor>;

// Largest first, outermost folder kept where matches nest; no count cap.
// Each row's bytes are what moving it away frees (a file with a name
// outside it frees nothing) when `links` says which files have several.
std::vector<CleanupCandidate> candidates(const ScanForest& forest, const HomePlaces& places,
                                         const KnownPaths& known = {},
                                         const DiskEvidence& disk = systemDiskEvidence());
std::vector<CleanupCandidate> candidates(std::span<const ScanNode* const> nodes,
                                         const HomePlaces& places = {},
                                         const KnownPaths& known = {},
                                         const DiskEvidence& disk = systemDiskEvidence(),
                                         const HardLinks* links = nullptr);
// With the current user's folders and the installed sandboxes: reads
// Flatpak metadata and snap links, so run it on a background task.
std::vector<CleanupCandidate> candidates(const ScanForest& forest);

} // namespace CleanupCatalog

} // namespace tb
