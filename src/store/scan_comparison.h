// What changed between two scans of the same subject: items that appeared,
// disappeared, or whose allocated size moved noticeably, at every depth.
// Pure functions over trees that nobody modifies meanwhile (and a stored
// file); any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/scan_node.h"
#include "store/scan_record.h"

namespace tb {

struct ScanChange {
    enum class Kind { added, removed, grew, shrank };

    std::string id; // "added:", "removed:" or "changed:" + path
    std::string path;
    std::string name;
    Kind kind = Kind::added;
    std::int64_t previousBytes = 0;
    std::int64_t currentBytes = 0;

    // Saturates instead of overflowing on sizes read from a damaged file.
    std::int64_t delta() const;
    bool operator==(const ScanChange&) const = default;
};

std::string_view rawValue(ScanChange::Kind kind);
std::optional<ScanChange::Kind> scanChangeKind(std::string_view raw);

// A comparison as a whole: the noticeable changes, and the ones that fell
// under the thresholds (a few small files added still grow every folder
// above them), so that "nothing listed" is never taken for "nothing changed".
struct ChangeList {
    std::vector<ScanChange> listed;  // noticeable, largest first, at most the limit
    std::size_t noticeableCount = 0; // listed or not
    // Under the thresholds but not nothing: any size moved, or an item came
    // or went. Largest first, at most the limit.
    std::vector<ScanChange> smaller;
    std::size_t smallerCount = 0; // listed or not

    bool operator==(const ChangeList&) const = default;
};

namespace ScanComparison {

inline constexpr std::size_t defaultLimit = 160;

// Why two scans of the same subject cannot be compared, or nothing: totals
// that count a hard-linked file once and totals that count each of its names
// differ without anything on disk having changed.
std::optional<std::string> incomparable(const ScanContext& current, const ScanContext& previous);
// Both kinds of change; `limit` bounds each list.
ChangeList changeList(const ScanNode* current, const ScanNode* previous,
                      std::size_t limit = defaultLimit);
ChangeList changeList(const ScanNode* current, const ScanRecord& previous,
                      std::size_t limit = defaultLimit);

// Largest |delta| first; equal magnitudes in no promised order.
std::vector<ScanChange> compare(const ScanNode* current, const ScanNode* previous,
                                std::size_t limit = defaultLimit);
// The same against a stored scan, read row by row rather than loaded;
// nothing when the file cannot be read.
std::vector<ScanChange> compare(const ScanNode* current, const ScanRecord& previous,
                                std::size_t limit = defaultLimit);

} // namespace ScanComparison
} // namespace tb
