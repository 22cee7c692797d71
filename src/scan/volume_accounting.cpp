#include "scan/volume_accounting.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "base/path.h"
#include "platform/deep_enumeration.h"
#include "platform/file_system.h"
#include "platform/volume_info.h"

namespace tb {

std::string_view rawValue(TruthSliceID id) {
    switch (id) {
    case TruthSliceID::scanned: return "scanned";
    case TruthSliceID::system: return "system";
    case TruthSliceID::purgeable: return "purgeable";
    case TruthSliceID::free: return "free";
    case TruthSliceID::reserved: return "reserved";
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

TruthModel reconcile(std::int64_t c, std::int64_t a, std::int64_t i, std::int64_t o, std::int64_t s,
                     std::int64_t unreadableFolders, bool isFullVolumeScope,
                     const std::string& scopeLabel) {
    using std::max;
    using std::min;
    const std::int64_t availableClamped = max<std::int64_t>(min(c, a), 0);
    const std::int64_t free = max<std::int64_t>(min(availableClamped, i), 0);
    const std::int64_t purgeable =
        min(c - free,
            max(max<std::int64_t>(o - free, 0), max<std::int64_t>(availableClamped - free, 0)));
    const std::int64_t used = max<std::int64_t>(c - free - purgeable, 0);
    const std::int64_t scanned = min(used, max<std::int64_t>(s, 0));
    const std::int64_t system = max<std::int64_t>(used - scanned, 0);
    TruthModel m;
    m.capacity = c;
    m.slices = {
        {TruthSliceID::scanned, "Scanned", scanned},
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
namespace {

// Every entry: a partial sum shown as the Trash's size hides the rest of it
// in "Scanned" or "Outside scan". None when stopped.
std::optional<std::int64_t> allocatedBelow(const std::string& folder, std::stop_token stop) {
    std::int64_t total = 0;
    platform::DeepEnumeration::enumerate(
        folder,
        [&](const platform::EnumeratedItem& item) {
            if (!item.isDirectory) total += item.totalAllocated.value_or(0);
            return true;
        },
        stop);
    if (stop.stop_requested()) return std::nullopt;
    return total;
}

// The volume is read on the interface thread every few seconds while the
// monitor shows; a Trash changes only when items go in or come out, which
// changes its files/ and info/ folders, so a measure stays good until then.
class TrashSizes {
public:
    struct Known {
        std::int64_t bytes = 0;
        bool current = false; // the Trash is as it was when measured
    };

    Known known(const std::string& folder) {
        const Stamp stamp = stampOf(folder);
        std::lock_guard lock(mutex_);
        auto it = known_.find(folder);
        if (it == known_.end()) return {};
        return {it->second.second, it->second.first == stamp};
    }

    // Measures unless the last measure is current; a stopped walk gives the
    // last measure and keeps nothing.
    std::int64_t bytes(const std::string& folder, std::stop_token stop = {}) {
        const Known last = known(folder);
        if (last.current) return last.bytes;
        const Stamp stamp = stampOf(folder);
        const auto measured = allocatedBelow(folder, stop); // no lock held
        if (!measured) return last.bytes;
        std::lock_guard lock(mutex_);
        known_[folder] = {stamp, *measured};
        return *measured;
    }

private:
    using Stamp = std::pair<Date, Date>;
    static Date modified(const std::string& path) {
        auto v = platform::FileSystem::values(path);
        return v ? v->modified : Date::distantPast();
    }
    static Stamp stampOf(const std::string& folder) {
        return {modified(Path::appending(folder, "files")),
                modified(Path::appending(folder, "info"))};
    }

    std::mutex mutex_;
    std::map<std::string, std::pair<Stamp, std::int64_t>> known_; // guarded by mutex_
};

TrashSizes& trashSizes() {
    static TrashSizes sizes;
    return sizes;
}

bool isTrashInScan(const VolumeSnapshot& v, const std::optional<std::string>& scanRoot) {
    return std::any_of(v.trashFolders.begin(), v.trashFolders.end(), [&](const std::string& t) {
        return !scanRoot || Path::isSameOrInside(t, *scanRoot);
    });
}

} // namespace

std::vector<std::string> trashFolders(const std::string& mountPoint) {
    std::vector<std::string> folders;
    if (mountPoint.empty()) return folders;
    if (auto data = platform::SpecialFolders::userData()) {
        const std::string home = Path::appending(*data, "Trash");
        if (platform::FileSystem::exists(home).isDirectory &&
            platform::mountPoint(home) == mountPoint) {
            folders.push_back(home);
        }
    }
    const std::string uid = std::to_string(::getuid());
    for (const std::string& top : {Path::appending(mountPoint, ".Trash/" + uid),
                                   Path::appending(mountPoint, ".Trash-" + uid)}) {
        if (platform::FileSystem::exists(top).isDirectory &&
            std::find(folders.begin(), folders.end(), top) == folders.end()) {
            folders.push_back(top);
        }
    }
    return folders;
}

void measureTrash(const std::vector<std::string>& folders, std::stop_token stop) {
    for (const auto& t : folders) {
        if (stop.stop_requested()) return;
        trashSizes().bytes(t, stop);
    }
}

Result<VolumeSnapshot> read(const std::string& url, TrashMeasure trash) {
    auto figures = platform::readVolumeFigures(url);
    if (!figures) return figures.error();
    VolumeSnapshot v;
    v.url = url;
    // Without a label, the mount point says which volume this is better
    // than the folder that was asked about.
    v.name = figures->name.value_or(figures->mountPoint.value_or(url));
    v.capacity = figures->capacity.value_or(0);
    v.available = figures->available.value_or(0);
    v.availableImportant = figures->availableImportant.value_or(0);
    v.availableOpportunistic = figures->availableOpportunistic.value_or(0);
    v.reserved = figures->reserved.value_or(0);
    v.mountPoint = figures->mountPoint.value_or("");
    v.trashFolders = trashFolders(v.mountPoint);
    for (const auto& t : v.trashFolders) {
        if (trash == TrashMeasure::now) {
            v.trashBytes += trashSizes().bytes(t);
            continue;
        }
        const auto known = trashSizes().known(t);
        v.trashBytes += known.bytes;
        v.trashPending = v.trashPending || !known.current;
    }
    return v;
}

TruthModel truth(const VolumeSnapshot& volume, std::int64_t scanned, std::int64_t unreadableFolders,
                 const std::optional<std::string>& scanRoot) {
    using std::max;
    using std::min;
    const bool full = !scanRoot || *scanRoot == "/";
    const std::string label = scanRoot ? *scanRoot : volume.name;
    TruthModel m = TruthMath::reconcile(volume.capacity, volume.available,
                                        volume.availableImportant, volume.availableOpportunistic,
                                        scanned, unreadableFolders, full, label);
    // Figures without a mount point come from elsewhere (a macOS volume, a
    // test): they keep the plain four slices.
    if (volume.mountPoint.empty() && volume.reserved <= 0 && volume.trashBytes <= 0) return m;

    // Reserved blocks and the Trash are inside the used space: carve them
    // out of it before the scan takes its share, and count a Trash that the
    // scan walked only once.
    const std::int64_t used = m.slices[0].bytes + m.slices[1].bytes;
    const std::int64_t reserved = min(max<std::int64_t>(volume.reserved, 0), used);
    const std::int64_t trash = min(volume.trashBytes, used - reserved);
    const std::int64_t rest = used - reserved - trash;
    const std::int64_t scannedOutsideTrash =
        max<std::int64_t>(scanned - (isTrashInScan(volume, scanRoot) ? trash : 0), 0);
    const std::int64_t scannedBytes = min(rest, scannedOutsideTrash);
    m.slices[0].bytes = scannedBytes;
    m.slices[1].bytes = rest - scannedBytes;
    m.slices[2].bytes += trash;
    m.slices[2].label = std::string(trashLabel);
    if (reserved > 0) {
        m.slices.insert(m.slices.begin() + 2, {TruthSliceID::reserved, "Reserved", reserved});
    }
    return m;
}

} // namespace VolumeAccounting
} // namespace tb
