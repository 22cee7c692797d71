#include "analysis/app_bundle.h"

#include "analysis/text.h"
#include "base/path.h"
#include "scan/scan_node.h"

namespace tb::AppBundle {

bool isAppBundle(const ScanNode& node) {
    if (!node.isDirectory() || text::asciiLowercased(Path::extension(node.path())) != "app") {
        return false;
    }
    // On Linux a name like ~/.var/app/com.example.App is a Flatpak id, not a
    // bundle: a bundle holds its Contents folder.
    for (const ScanNode* c : node.children()) {
        if (c->isDirectory() && c->name() == "Contents") return true;
    }
    return false;
}

std::string nameWithoutExtension(std::string_view path) {
    const std::string_view name = Path::lastComponent(path);
    const std::string_view ext = Path::extension(path);
    if (ext.empty()) return std::string(name);
    return std::string(name.substr(0, name.size() - ext.size() - 1));
}

} // namespace tb::AppBundle
