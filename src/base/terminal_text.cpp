#include "base/terminal_text.h"

#include <cstdio>

#include "base/utf8.h"

namespace tb::TerminalText {
namespace {

// Characters a terminal acts on rather than shows: C1 controls (U+009B is
// a CSI of its own in some terminals), the line and paragraph separators,
// and the bidirectional embeddings, overrides and isolates that make text
// read in another order than it is stored.
bool isInvisibleControl(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 ||
           (cp >= 0x200E && cp <= 0x200F) || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069) || cp == 0x061C;
}

void appendHex(std::string& out, const char* format, unsigned value) {
    char buf[12];
    std::snprintf(buf, sizeof buf, format, value);
    out += buf;
}

} // namespace

std::string escaped(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const auto b = static_cast<unsigned char>(bytes.front());
        if (b >= 0x20 && b < 0x7f) {
            if (b == '\\') out += '\\';
            out += char(b);
            bytes.remove_prefix(1);
            continue;
        }
        if (b < 0x80) {
            switch (b) {
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default: appendHex(out, "\\x%02x", b);
            }
            bytes.remove_prefix(1);
            continue;
        }
        const Utf8::Decoded d = Utf8::decode(bytes);
        if (d.length == 0) {
            appendHex(out, "\\x%02x", b);
            bytes.remove_prefix(1);
        } else if (isInvisibleControl(d.cp)) {
            appendHex(out, "\\u%04x", unsigned(d.cp));
            bytes.remove_prefix(d.length);
        } else {
            out.append(bytes.substr(0, d.length));
            bytes.remove_prefix(d.length);
        }
    }
    return out;
}

} // namespace tb::TerminalText
