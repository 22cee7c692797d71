#include "analysis/text.h"

namespace tb::text {

std::string asciiLowercased(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool isValidUtf8(std::string_view s) {
    while (!s.empty()) {
        const std::size_t length = Utf8::decode(s).length;
        if (length == 0) return false;
        s.remove_prefix(length);
    }
    return true;
}

std::string lowercaseHex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

} // namespace tb::text
