// The one byte-count format shown to the user: decimal units.
#pragma once

#include <cstdint>
#include <string>

namespace tb::ByteFormat {

// 999 -> "999 B", 1500 -> "1.5 KB", 150000 -> "150 KB".
std::string string(std::int64_t bytes);
// part / whole * 100; 0 when whole < 1.
double percent(double part, double whole);

} // namespace tb::ByteFormat
