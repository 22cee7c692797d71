#include "base/count_text.h"

namespace tb::CountText {

std::string number(std::int64_t n) {
    // Through the unsigned magnitude, so that the lowest value has one too.
    std::uint64_t magnitude = n < 0 ? 0 - std::uint64_t(n) : std::uint64_t(n);
    std::string reversed;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) reversed += ',';
        reversed += char('0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude > 0);
    if (n < 0) reversed += '-';
    return std::string(reversed.rbegin(), reversed.rend());
}

std::string of(std::int64_t n, std::string_view one, std::string_view many) {
    std::string text = number(n);
    text += ' ';
    if (n == 1) {
        text += one;
    } else if (!many.empty()) {
        text += many;
    } else {
        text += one;
        text += 's';
    }
    return text;
}

} // namespace tb::CountText
