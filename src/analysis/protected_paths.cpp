#include "analysis/protected_paths.h"

#include "base/path.h"
#include "platform/file_system.h"

namespace tb {

namespace ProtectedPaths {

bool isProtectedResolvedPath(std::string_view path) {
    if (path == "/") return true;
    for (auto prefix : prefixes) {
        if (Path::isSameOrInside(path, prefix)) return true;
    }
    return false;
}

std::string resolvedPath(std::string_view url) {
    // realpath needs every component to exist; a missing tail is kept
    // lexically after its deepest existing ancestor has been resolved.
    std::string head(url);
    std::string tail;
    while (!platform::FileSystem::exists(head).exists) {
        const std::string parent = Path::parent(head);
        if (parent == head) break;
        const auto last = Path::lastComponent(head);
        tail = tail.empty() ? std::string(last) : std::string(last) + "/" + tail;
        head = parent;
    }
    const std::string base = platform::FileSystem::resolved(head);
    return Path::standardized(tail.empty() ? base : base + "/" + tail);
}

bool isProtected(std::string_view url) {
    return isProtectedResolvedPath(resolvedPath(url));
}

bool isSafeSelection(std::string_view url) {
    if (!platform::FileSystem::exists(std::string(url)).exists) return false;
    const std::string path = resolvedPath(url);
    if (path.empty() || path == "/") return false;
    return !isProtectedResolvedPath(path);
}

} // namespace ProtectedPaths
} // namespace tb
