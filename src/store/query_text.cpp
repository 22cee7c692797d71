#include "store/query_text.h"

#include <locale.h>
#include <wctype.h>

#include <array>

namespace tb::QueryText {
namespace {

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
        const Utf8::Decoded d = Utf8::decode(text.substr(i));
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
