// Sums of byte counts that stop at the ends of the signed 64-bit range
// instead of wrapping: a size read from a damaged or forged scan file must
// not turn a folder's total negative.
#pragma once

#include <cstdint>
#include <limits>

namespace tb {

inline std::int64_t addBytes(std::int64_t a, std::int64_t b) {
    std::int64_t sum;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

} // namespace tb
