// Text handling shared by the two searches. Names are bytes: valid UTF-8
// sequences are treated as characters, any other byte is kept as it is.
#pragma once

#include <string>
#include <string_view>

#include "base/utf8.h"

namespace tb::QueryText {

// Without white space and line breaks (ASCII and Unicode) at either end.
using Utf8::trimmed;
// Every character mapped to its simple lower-case form; invalid bytes copied.
// Appends to `out` after clearing it, so a caller can reuse one buffer.
void lowerCased(std::string_view text, std::string& out);

} // namespace tb::QueryText
