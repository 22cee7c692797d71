#include "base/path.h"

#include <vector>

namespace tb::Path {

std::string_view lastComponent(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view displayName(std::string_view path) {
    const auto last = lastComponent(path);
    return last.empty() ? path : last;
}

std::string appending(std::string_view dir, std::string_view name) {
    std::string out;
    out.reserve(dir.size() + name.size() + 1);
    out.append(dir);
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

std::string_view trimmedSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

std::string parent(std::string_view path) {
    path = trimmedSlashes(path);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::string_view extension(std::string_view path) {
    const auto name = lastComponent(path);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

bool isSameOrInside(std::string_view path, std::string_view prefix) {
    if (path == prefix) return true;
    if (prefix == "/") return !path.empty() && path.front() == '/';
    return path.size() > prefix.size() && path.substr(0, prefix.size()) == prefix &&
           path[prefix.size()] == '/';
}

std::string standardized(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i <= path.size()) {
        auto j = path.find('/', i);
        if (j == std::string_view::npos) j = path.size();
        const auto part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (auto p : parts) {
        out.push_back('/');
        out.append(p);
    }
    return out.empty() ? "/" : out;
}

std::string fileUrl(std::string_view path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~';
        if (plain) {
            out.push_back(char(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
        }
    }
    return out;
}

} // namespace tb::Path
