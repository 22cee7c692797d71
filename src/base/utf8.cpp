#include "base/utf8.h"

#include <algorithm>

namespace tb::Utf8 {

Decoded decode(std::string_view s) {
    if (s.empty()) return {};
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t len;
    char32_t cp, min;
    if (b0 < 0x80) return {b0, 1};
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return {};
    }
    if (s.size() < len) return {};
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return {};
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
    return {cp, len};
}

bool isWhitespace(char32_t cp) {
    return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
           (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
           cp == 0x205F || cp == 0x3000;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty()) {
        const Decoded d = decode(s);
        if (d.length == 0 || !isWhitespace(d.cp)) break;
        s.remove_prefix(d.length);
    }
    while (!s.empty()) {
        // Step back to the start of the last sequence (at most four bytes).
        std::size_t start = s.size() - 1;
        while (start > 0 && s.size() - start < 4 &&
               (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) {
            --start;
        }
        const Decoded d = decode(s.substr(start));
        if (d.length != s.size() - start || !isWhitespace(d.cp)) break;
        s.remove_suffix(d.length);
    }
    return s;
}

std::size_t characters(std::string_view s) {
    std::size_t count = 0;
    for (; !s.empty(); ++count)
        s.remove_prefix(std::max<std::size_t>(decode(s).length, 1));
    return count;
}

} // namespace tb::Utf8
