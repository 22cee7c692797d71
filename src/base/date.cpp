#include "base/date.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tb {

Date Date::now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return Date{ts.tv_sec, static_cast<std::int32_t>(ts.tv_nsec)};
}

Date Date::fromUnix(std::int64_t s, std::int64_t ns) {
    s += ns / 1'000'000'000;
    ns %= 1'000'000'000;
    if (ns < 0) {
        ns += 1'000'000'000;
        s -= 1;
    }
    return Date{s, static_cast<std::int32_t>(ns)};
}

Date Date::fromUnixDouble(double v) {
    if (!std::isfinite(v)) return distantPast();
    const double whole = std::floor(v);
    auto ns = static_cast<std::int64_t>(std::llround((v - whole) * 1e9));
    return fromUnix(static_cast<std::int64_t>(whole), ns);
}

Date Date::addingSeconds(double s) const {
    const double whole = std::floor(s);
    auto ns = static_cast<std::int64_t>(std::llround((s - whole) * 1e9));
    return fromUnix(seconds + static_cast<std::int64_t>(whole), nanoseconds + ns);
}

std::string Date::isoString() const {
    using namespace std::chrono;
    const sys_seconds tp{std::chrono::seconds{seconds}};
    const auto day = floor<days>(tp);
    const year_month_day ymd{day};
    const hh_mm_ss hms{tp - day};
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(hms.hours().count()),
                  int(hms.minutes().count()), int(hms.seconds().count()));
    return buf;
}

} // namespace tb
