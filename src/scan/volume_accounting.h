// The volume's figures and their split into slices that add up to the
// capacity: scanned, system (or outside the scan), reserved for root where
// the file system keeps such blocks, purgeable, free. On Linux "purgeable"
// is what the user's Trash on that volume holds: the space the system gives
// back on request. `read` may be called from any thread; measuring the
// Trash walks all of it, so the interface thread asks only for its last
// measure and has it measured elsewhere. The arithmetic is pure.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tb {

struct VolumeSnapshot {
    std::string url;  // the location queried, as passed in
    std::string name; // the volume's name; the queried path when it has none
    std::int64_t capacity = 0;
    std::int64_t available = 0;
    std::int64_t availableImportant = 0;
    std::int64_t availableOpportunistic = 0;
    std::int64_t reserved = 0;   // blocks only root may fill
    std::string mountPoint;      // "" when unknown
    std::int64_t trashBytes = 0; // the user's Trash folders on this volume
    std::vector<std::string> trashFolders;
    // The Trash changed since it was last measured: trashBytes is that last
    // measure (0 before the first), and measureTrash brings it up to date.
    bool trashPending = false;

    bool operator==(const VolumeSnapshot&) const = default;
};

enum class TruthSliceID { scanned, system, purgeable, free, reserved };
inline constexpr std::array<TruthSliceID, 5> allTruthSliceIDs = {
    TruthSliceID::scanned, TruthSliceID::system, TruthSliceID::purgeable, TruthSliceID::free,
    TruthSliceID::reserved};
std::string_view rawValue(TruthSliceID id);
std::optional<TruthSliceID> truthSliceID(std::string_view raw);

struct TruthSlice {
    TruthSliceID id = TruthSliceID::scanned;
    std::string label;
    std::int64_t bytes = 0;
    bool operator==(const TruthSlice&) const = default;
};

struct TruthModel {
    std::int64_t capacity = 0;
    // scanned, system, then "reserved" when the volume keeps blocks for
    // root, then purgeable and free
    std::vector<TruthSlice> slices;
    std::int64_t unreadableFolders = 0;
    bool isFullVolumeScope = false;
    std::string scopeLabel;
    bool operator==(const TruthModel&) const = default;
};

namespace TruthMath {
TruthModel reconcile(std::int64_t capacity, std::int64_t available, std::int64_t availableImportant,
                     std::int64_t availableOpportunistic, std::int64_t scanned,
                     std::int64_t unreadableFolders, bool isFullVolumeScope,
                     const std::string& scopeLabel);
} // namespace TruthMath

namespace VolumeAccounting {
inline constexpr std::string_view trashLabel = "Trash";
// How read comes by the Trash's size: by walking it now, or from the last
// measure (for the interface thread, which must never wait on a walk).
enum class TrashMeasure { now, lastKnown };
Result<VolumeSnapshot> read(const std::string& url, TrashMeasure trash = TrashMeasure::now);
// Walks these Trash folders whole, so that reads know their sizes; a walk
// that is stopped keeps nothing.
void measureTrash(const std::vector<std::string>& folders, std::stop_token stop = {});
// The Trash folders of the current user on the volume mounted at
// `mountPoint`: the home Trash when it lies there, and the volume's own.
std::vector<std::string> trashFolders(const std::string& mountPoint);
TruthModel truth(const VolumeSnapshot& volume, std::int64_t scanned, std::int64_t unreadableFolders,
                 const std::optional<std::string>& scanRoot);
} // namespace VolumeAccounting

} // namespace tb
