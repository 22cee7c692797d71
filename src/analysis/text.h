// Small byte-string helpers shared by the analyses. Names are raw bytes:
// nothing here assumes they are valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tb::text {

// A–Z become a–z; every other byte is kept.
std::string asciiLowercased(std::string_view s);
// Without leading and trailing white space and line breaks: ASCII ones and
// the UTF-8 encoded Unicode ones (no-break space, line separator, ...).
std::string_view trimmed(std::string_view s);
// Well-formed UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
bool isValidUtf8(std::string_view s);
// Two lowercase hexadecimal digits per byte.
std::string lowercaseHex(std::string_view bytes);

} // namespace tb::text
