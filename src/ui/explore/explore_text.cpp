#include "ui/explore/explore_text.h"

#include "base/path.h"
#include "ui/disk_theme.h"

namespace tb::ExploreText {

QString relativePath(std::string_view path, std::string_view root) {
    if (path == root) return QStringLiteral(".");
    if (!root.empty() && Path::isSameOrInside(path, root)) {
        path.remove_prefix(root.size() + (root.back() == '/' ? 0 : 1));
    }
    return DiskTheme::displayText(path);
}

QString leftOutTag(LeftOutKind kind) {
    switch (kind) {
    case LeftOutKind::none: return {};
    case LeftOutKind::excluded: return QStringLiteral("Excluded");
    case LeftOutKind::snapshots: return QStringLiteral("Snapshots (excluded)");
    case LeftOutKind::mount: return QStringLiteral("Other file system");
    }
    return {};
}

QString leftOutReason(LeftOutKind kind) {
    switch (kind) {
    case LeftOutKind::none: return {};
    case LeftOutKind::excluded:
        return QStringLiteral(
            "Left out by an exclude rule (Settings › Scanning): not walked, "
            "not counted.");
    case LeftOutKind::snapshots:
        return QStringLiteral(
            "Snapshots of this volume: walking them would count every "
            "snapshot in full. The rule can be removed in Settings › Scanning.");
    case LeftOutKind::mount:
        return QStringLiteral(
            "Another file system is mounted here; it was not walked. "
            "\"Scan This Mount Here\" walks it into this tree.");
    }
    return {};
}

} // namespace tb::ExploreText
