#include "store/query_text.h"

#include <locale.h>
#include <wctype.h>

#include <array>
#include <cstdint>

namespace tb::QueryText {
namespace {

// Decodes one UTF-8 sequence at the start of `s`; 0 length when invalid
// (overlong forms, surrogates and values above U+10FFFF included).
struct Decoded {
    char32_t cp = 0;
    std::size_t length = 0;
};

Decoded decode(std::string_view s) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t len;
    char32_t cp, min;
    if (b0 < 0x80) return {b0, 1};
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else
        return {};
    if (s.size() < len) return {};
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return {};
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
    return {cp, len};
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

bool isWhitespace(char32_t cp) {
    switch (cp) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000: return true;
    default: return cp >= 0x2000 && cp <= 0x200A;
    }
}

// A private C.UTF-8 locale so that case mapping covers all of Unicode without
// touching the process's global locale (other threads may read it).
locale_t utf8Locale() {
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    return loc;
}

char32_t lower(char32_t cp) {
    const locale_t loc = utf8Locale();
    if (!loc) return cp;
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), loc));
}

const std::array<char, 128> kAsciiLower = [] {
    std::array<char, 128> t{};
    for (int c = 0; c < 128; ++c)
        t[c] = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return t;
}();

} // namespace

std::string_view trimmed(std::string_view text) {
    // Forward: decode from the front.
    while (!text.empty()) {
        const Decoded d = decode(text);
        if (d.length == 0 || !isWhitespace(d.cp)) break;
        text.remove_prefix(d.length);
    }
    // Backward: find the start of the last sequence (at most 4 bytes back).
    while (!text.empty()) {
        std::size_t start = text.size() - 1;
        while (start > 0 && text.size() - start < 4 &&
               (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        const Decoded d = decode(text.substr(start));
        if (d.length != text.size() - start || !isWhitespace(d.cp)) break;
        text.remove_suffix(d.length);
    }
    return text;
}

void lowerCased(std::string_view text, std::string& out) {
    // ASCII runs are folded in place through a table: names are mostly ASCII
    // and a search over a million paths does this for each of them.
    out.resize(text.size());
    char* dst = out.data();
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) {
        dst[i] = kAsciiLower[static_cast<unsigned char>(text[i])];
        ++i;
    }
    if (i == text.size()) return;
    out.resize(i);
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(kAsciiLower[b]);
            ++i;
            continue;
        }
        const Decoded d = decode(text.substr(i));
        if (d.length == 0) {
            out.push_back(char(b));
            ++i;
            continue;
        }
        encode(lower(d.cp), out);
        i += d.length;
    }
}

} // namespace tb::QueryText
