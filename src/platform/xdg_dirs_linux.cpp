#include "platform/xdg_dirs.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <string_view>

namespace tb::platform::XdgDirs {

std::optional<std::string> absoluteVariable(const char* name) {
    const char* v = std::getenv(name);
    if (!v || *v != '/') return std::nullopt;
    return std::string(v);
}

namespace {

std::vector<std::string> absoluteEntries(const char* variable) {
    std::vector<std::string> dirs;
    if (const char* v = std::getenv(variable)) {
        std::string_view rest(v);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            if (!entry.empty() && entry[0] == '/') dirs.emplace_back(entry);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    return dirs;
}

} // namespace

std::vector<std::string> dataDirs() {
    auto dirs = absoluteEntries("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
    return dirs;
}

std::vector<std::string> programDirs() {
    auto dirs = absoluteEntries("PATH");
    if (dirs.empty()) dirs = {"/usr/local/bin", "/usr/bin", "/bin", "/usr/local/sbin", "/usr/sbin"};
    return dirs;
}

std::string kernelRelease() {
    struct utsname u {};
    if (::uname(&u) != 0) return {};
    return u.release;
}

} // namespace tb::platform::XdgDirs
