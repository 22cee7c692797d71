// UTF-8 over raw bytes: a well-formed sequence is one character, any other
// byte stands for itself and is never white space. Pure; any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace tb::Utf8 {

struct Decoded {
    char32_t cp = 0;
    std::size_t length = 0; // 0: malformed
};

// The sequence at the start of `s`; length 0 when `s` is empty, cut short or
// malformed (overlong forms, surrogates and values above U+10FFFF included).
Decoded decode(std::string_view s);
// White space and line breaks: the ASCII ones and the Unicode ones (no-break
// space, line separator, ...).
bool isWhitespace(char32_t cp);
// Without white space at either end.
std::string_view trimmed(std::string_view s);
// How many characters `s` holds, each stray byte counting as one.
std::size_t characters(std::string_view s);

} // namespace tb::Utf8
