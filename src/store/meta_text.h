// The text forms of the scan file's `meta` values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tb::MetaText {

// An optional "+" or "-" followed by digits only; nothing for empty text,
// spaces, other characters or a value outside signed 64 bits.
std::optional<std::int64_t> parseDecimal(std::string_view text);
// The text as an SQL literal: in single quotes, each quote doubled.
std::string quoted(std::string_view text);

} // namespace tb::MetaText
