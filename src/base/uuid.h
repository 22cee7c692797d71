// A random (version 4) UUID: 16 bytes, shown upper-case in canonical form.
// Generation is lock-free (one generator per thread) because a scan makes
// millions of node identities.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace tb {

struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    static Uuid random();
    // Accepts the canonical 8-4-4-4-12 form, either case.
    static std::optional<Uuid> parse(std::string_view text);
    // "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"
    std::string toString() const;

    std::uint64_t hashValue() const {
        std::uint64_t a, b;
        std::memcpy(&a, bytes.data(), 8);
        std::memcpy(&b, bytes.data() + 8, 8);
        return a ^ (b * 0x9E3779B97F4A7C15ull);
    }
    friend auto operator<=>(const Uuid&, const Uuid&) = default;
};

} // namespace tb

template <>
struct std::hash<tb::Uuid> {
    std::size_t operator()(const tb::Uuid& u) const noexcept { return u.hashValue(); }
};
