#include "scan/volume_accounting.h"

#include <algorithm>

#include "platform/volume_info.h"

namespace tb {

std::string_view rawValue(TruthSliceID id) {
    switch (id) {
    case TruthSliceID::scanned: return "scanned";
    case TruthSliceID::system: return "system";
    case TruthSliceID::purgeable: return "purgeable";
    case TruthSliceID::free: return "free";
    }
    return "";
}

std::optional<TruthSliceID> truthSliceID(std::string_view raw) {
    for (auto id : allTruthSliceIDs) {
        if (rawValue(id) == raw) return id;
    }
    return std::nullopt;
}

namespace TruthMath {

TruthModel reconcile(std::int64_t c, std::int64_t a, std::int64_t i, std::int64_t o,
                     std::int64_t s, std::int64_t unreadableFolders, bool isFullVolumeScope,
                     const std::string& scopeLabel) {
    using std::max;
    using std::min;
    const std::int64_t availableClamped = max<std::int64_t>(min(c, a), 0);
    const std::int64_t free = max<std::int64_t>(min(availableClamped, i), 0);
    const std::int64_t purgeable =
        min(c - free, max(max<std::int64_t>(o - free, 0), max<std::int64_t>(availableClamped - free, 0)));
    const std::int64_t used = max<std::int64_t>(c - free - purgeable, 0);
    const std::int64_t scanned = min(used, max<std::int64_t>(s, 0));
    const std::int64_t system = max<std::int64_t>(used - scanned, 0);
    TruthModel m;
    m.capacity = c;
    m.slices = {{TruthSliceID::scanned, "Scanned", scanned},
                {TruthSliceID::system, isFullVolumeScope ? "Other & system" : "Outside scan", system},
                {TruthSliceID::purgeable, "Purgeable", purgeable},
                {TruthSliceID::free, "Free", free}};
    m.unreadableFolders = unreadableFolders;
    m.isFullVolumeScope = isFullVolumeScope;
    m.scopeLabel = scopeLabel;
    return m;
}

} // namespace TruthMath

namespace VolumeAccounting {

Result<VolumeSnapshot> read(const std::string& url) {
    auto figures = platform::readVolumeFigures(url);
    if (!figures) return figures.error();
    VolumeSnapshot v;
    v.url = url;
    v.name = figures->name.value_or(url);
    v.capacity = figures->capacity.value_or(0);
    v.available = figures->available.value_or(0);
    v.availableImportant = figures->availableImportant.value_or(0);
    v.availableOpportunistic = figures->availableOpportunistic.value_or(0);
    return v;
}

TruthModel truth(const VolumeSnapshot& volume, std::int64_t scanned,
                 std::int64_t unreadableFolders, const std::optional<std::string>& scanRoot) {
    const bool full = !scanRoot || *scanRoot == "/";
    const std::string label = scanRoot ? *scanRoot : volume.name;
    return TruthMath::reconcile(volume.capacity, volume.available, volume.availableImportant,
                                volume.availableOpportunistic, scanned, unreadableFolders, full,
                                label);
}

} // namespace VolumeAccounting
} // namespace tb
