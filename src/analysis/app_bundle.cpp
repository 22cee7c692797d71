#include "analysis/app_bundle.h"

#include "analysis/text.h"
#include "base/path.h"
#include "scan/scan_node.h"

namespace tb::AppBundle {

bool isAppBundle(const ScanNode& node) {
    return node.isDirectory() && text::asciiLowercased(Path::extension(node.path())) == "app";
}

std::string nameWithoutExtension(std::string_view path) {
    const std::string_view name = Path::lastComponent(path);
    const std::string_view ext = Path::extension(path);
    if (ext.empty()) return std::string(name);
    return std::string(name.substr(0, name.size() - ext.size() - 1));
}

} // namespace tb::AppBundle
