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

} // namespace tb::ExploreText
