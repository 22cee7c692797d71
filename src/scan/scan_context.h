// What a scan covered: its root, scope, volume and whether every folder was read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/date.h"
#include "scan/hard_links.h"
#include "scan/volume_accounting.h"

namespace tb {

enum class ScanScopeKind { selectedFolder, volume };
std::string_view rawValue(ScanScopeKind kind);
std::optional<ScanScopeKind> scanScopeKind(std::string_view raw);

struct ScanContext {
    std::string rootPath;
    ScanScopeKind scope = ScanScopeKind::selectedFolder;
    std::string volumeName;
    std::int64_t volumeCapacity = 0;
    bool complete = false;
    Date createdAt;
    // How the totals count a file with several names. A scan stored before
    // the choice existed counted every name.
    HardLinkMode hardLinks = HardLinkMode::every;

    // A fresh scan's context.
    static ScanContext make(const std::string& root, const std::optional<VolumeSnapshot>& volume,
                            bool complete, Date createdAt = Date::now());

    bool isComparable() const { return complete && volumeCapacity > 0; }
    bool operator==(const ScanContext&) const = default;
};

} // namespace tb
