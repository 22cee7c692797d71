#include "platform/xdg_dirs.h"

#include <cstdlib>
#include <string_view>

namespace tb::platform::XdgDirs {

std::optional<std::string> absoluteVariable(const char* name) {
    const char* v = std::getenv(name);
    if (!v || *v != '/') return std::nullopt;
    return std::string(v);
}

std::vector<std::string> dataDirs() {
    std::vector<std::string> dirs;
    if (const char* v = std::getenv("XDG_DATA_DIRS")) {
        std::string_view rest(v);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            if (!entry.empty() && entry[0] == '/') dirs.emplace_back(entry);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
    return dirs;
}

} // namespace tb::platform::XdgDirs
