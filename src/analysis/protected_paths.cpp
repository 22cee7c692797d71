#include "analysis/protected_paths.h"

#include <algorithm>

#include "base/path.h"
#include "platform/file_system.h"

namespace tb {

namespace ProtectedPaths {
namespace {

// The next component of `path` from `i` (which points past a "/").
std::string_view nextComponent(std::string_view path, std::size_t& i) {
    while (i < path.size() && path[i] == '/')
        ++i;
    const std::size_t start = i;
    while (i < path.size() && path[i] != '/')
        ++i;
    return path.substr(start, i - start);
}

// path is the pattern's match or lies inside one.
bool insidePattern(std::string_view path, std::string_view pattern) {
    std::size_t i = 0, k = 0;
    while (k < pattern.size()) {
        const auto want = nextComponent(pattern, k);
        if (want.empty()) break;
        const auto have = nextComponent(path, i);
        if (have.empty() || (want != "*" && want != have)) return false;
    }
    return true;
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool isProtectedResolvedPath(std::string_view path) {
    if (path == "/") return true;
    for (auto area : userMountAreas) {
        if (insidePattern(path, area)) return false;
    }
    for (auto prefix : prefixes) {
        if (Path::isSameOrInside(path, prefix)) return true;
    }
    return false;
}

std::string resolvedPath(std::string_view url) {
    // A link is moved to the Trash as itself, never its target: only the
    // folders leading to it are resolved.
    const std::string item(url);
    if (const auto v = platform::FileSystem::values(item); v && v->isSymbolicLink) {
        const auto name = Path::lastComponent(item);
        if (!name.empty() && name != "." && name != "..") {
            return Path::appending(resolvedPath(Path::parent(item)), name);
        }
    }
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

bool holdsProtectedPath(std::string_view path) {
    return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view prefix) {
        return prefix != path && Path::isSameOrInside(prefix, path);
    });
}

bool isInsideTrash(std::string_view path, std::string_view trashRoot) {
    if (!trashRoot.empty() && Path::isSameOrInside(path, trashRoot)) return true;
    std::size_t i = 0;
    std::string_view previous;
    for (auto c = nextComponent(path, i); !c.empty(); c = nextComponent(path, i)) {
        if (c.starts_with(".Trash-") && allDigits(c.substr(7))) return true;
        if (previous == ".Trash" && allDigits(c)) return true;
        previous = c;
    }
    return false;
}

} // namespace ProtectedPaths
} // namespace tb
