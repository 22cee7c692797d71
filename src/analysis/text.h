// Small byte-string helpers shared by the analyses. Names are raw bytes:
// nothing here assumes they are valid UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "base/utf8.h"

namespace tb::text {

// A–Z become a–z; every other byte is kept.
std::string asciiLowercased(std::string_view s);
// Without leading and trailing white space and line breaks, ASCII or Unicode.
using Utf8::trimmed;
// Well-formed UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
bool isValidUtf8(std::string_view s);
// Two lowercase hexadecimal digits per byte.
std::string lowercaseHex(std::string_view bytes);

} // namespace tb::text
