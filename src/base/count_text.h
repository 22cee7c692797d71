// How a count reads in a sentence: "1 file", "2 files", "1,716 names".
// Stateless; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tb::CountText {

// Digits grouped by thousands: 1716 -> "1,716", -1234 -> "-1,234".
std::string number(std::int64_t n);
// The grouped number and its noun, singular for exactly one: (1, "file") ->
// "1 file", (0, "file") -> "0 files". Without `many` the plural is `one`
// followed by "s"; irregular nouns pass theirs ("entry", "entries").
std::string of(std::int64_t n, std::string_view one, std::string_view many = {});

} // namespace tb::CountText
