// A point in time with nanoseconds, wide enough for the distant past
// (0001-01-01T00:00:00Z), which stands for an unknown modification time.
// Plain value; safe to share between threads.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace tb {

struct Date {
    std::int64_t seconds = 0;     // since 1970-01-01T00:00:00Z, may be negative
    std::int32_t nanoseconds = 0; // always in [0, 1e9)

    static constexpr std::int64_t kDistantPastSeconds = -62135596800; // 0001-01-01

    static constexpr Date distantPast() { return Date{kDistantPastSeconds, 0}; }
    static Date now();
    static Date fromUnix(std::int64_t seconds, std::int64_t nanoseconds);
    // Seconds since 1970 as a double (what the store writes).
    static Date fromUnixDouble(double seconds);

    double unixSeconds() const { return double(seconds) + double(nanoseconds) / 1e9; }
    bool isDistantPast() const { return seconds == kDistantPastSeconds && nanoseconds == 0; }

    // this - other, in seconds.
    double secondsSince(const Date& other) const {
        return double(seconds - other.seconds) + double(nanoseconds - other.nanoseconds) / 1e9;
    }
    Date addingSeconds(double s) const;

    // "YYYY-MM-DDThh:mm:ssZ" in UTC.
    std::string isoString() const;

    friend constexpr auto operator<=>(const Date&, const Date&) = default;
};

} // namespace tb
