// What a scan covered: its root, scope, volume and whether every folder was read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date.h"
#include "scan/exclude_rules.h"
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
    // What the walk listed but did not walk, and the patterns it was given.
    // At most kLeftOutLimit items are kept; leftOutCount counts them all.
    std::vector<std::string> excludePatterns;
    std::vector<LeftOut> leftOut;
    std::int64_t leftOutCount = 0;
    // The machine scanned, as the user named it ("[user@]host[:port]");
    // empty for this one. Nothing of another machine is ever moved.
    std::string host;
    static constexpr std::size_t kLeftOutLimit = 10'000;

    // A fresh scan's context.
    static ScanContext make(const std::string& root, const std::optional<VolumeSnapshot>& volume,
                            bool complete, Date createdAt = Date::now());

    bool isComparable() const { return complete && volumeCapacity > 0; }
    bool isRemote() const { return !host.empty(); }
    bool operator==(const ScanContext&) const = default;
};

} // namespace tb
