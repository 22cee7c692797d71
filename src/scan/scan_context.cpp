#include "scan/scan_context.h"

namespace tb {

std::string_view rawValue(ScanScopeKind kind) {
    return kind == ScanScopeKind::volume ? "volume" : "selectedFolder";
}

std::optional<ScanScopeKind> scanScopeKind(std::string_view raw) {
    if (raw == "volume") return ScanScopeKind::volume;
    if (raw == "selectedFolder") return ScanScopeKind::selectedFolder;
    return std::nullopt;
}

ScanContext ScanContext::make(const std::string& root, const std::optional<VolumeSnapshot>& volume,
                              bool complete, Date createdAt) {
    ScanContext c;
    c.rootPath = root;
    c.scope = root == "/" ? ScanScopeKind::volume : ScanScopeKind::selectedFolder;
    c.volumeName = volume ? volume->name : root;
    c.volumeCapacity = volume ? volume->capacity : 0;
    c.complete = complete;
    c.createdAt = createdAt;
    return c;
}

} // namespace tb
