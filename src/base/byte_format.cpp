#include "base/byte_format.h"

#include <cstdint>
#include <cstdio>

namespace tb::ByteFormat {

std::string string(std::int64_t bytes) {
    // A difference between two sizes may be negative: its magnitude is
    // formatted like any count, behind the sign.
    if (bytes < 0) {
        if (bytes > -1000) return std::to_string(bytes) + " B";
        std::string magnitude = string(bytes == INT64_MIN ? INT64_MAX : -bytes);
        std::string withSign(1, '-');
        withSign.append(magnitude);
        return withSign;
    }
    if (bytes < 1000) return std::to_string(bytes) + " B";
    static const char* units[] = {"B", "KB", "MB", "GB", "TB", "PB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 5) {
        value /= 1000;
        ++unit;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, value < 100 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return buf;
}

double percent(double part, double whole) {
    if (whole < 1) return 0;
    return part / whole * 100.0;
}

} // namespace tb::ByteFormat
