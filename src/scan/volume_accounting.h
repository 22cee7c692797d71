// The volume's figures and their split into four slices that add up to the
// capacity: scanned, system (or outside the scan), purgeable, free.
// `read` may be called from any thread; the arithmetic is pure.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
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

    bool operator==(const VolumeSnapshot&) const = default;
};

enum class TruthSliceID { scanned, system, purgeable, free };
inline constexpr std::array<TruthSliceID, 4> allTruthSliceIDs = {
    TruthSliceID::scanned, TruthSliceID::system, TruthSliceID::purgeable, TruthSliceID::free};
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
    std::vector<TruthSlice> slices;  // always four: scanned, system, purgeable, free
    std::int64_t unreadableFolders = 0;
    bool isFullVolumeScope = false;
    std::string scopeLabel;
    bool operator==(const TruthModel&) const = default;
};

namespace TruthMath {
TruthModel reconcile(std::int64_t capacity, std::int64_t available,
                     std::int64_t availableImportant, std::int64_t availableOpportunistic,
                     std::int64_t scanned, std::int64_t unreadableFolders,
                     bool isFullVolumeScope, const std::string& scopeLabel);
} // namespace TruthMath

namespace VolumeAccounting {
Result<VolumeSnapshot> read(const std::string& url);
TruthModel truth(const VolumeSnapshot& volume, std::int64_t scanned,
                 std::int64_t unreadableFolders, const std::optional<std::string>& scanRoot);
} // namespace VolumeAccounting

} // namespace tb
