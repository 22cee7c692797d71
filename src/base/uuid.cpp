#include "base/uuid.h"

#include <pthread.h>

#include <atomic>
#include <random>

namespace tb {
namespace {

// A forked child starts with a copy of its parent's generator: without a new
// seed both would hand out the same identities from then on.
std::atomic<std::uint64_t> forks{0};
[[maybe_unused]] const int forkWatch =
    ::pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1, std::memory_order_relaxed); });

// xoshiro256**: fast, and seeded per thread from the system's entropy.
struct Generator {
    std::uint64_t s[4];
    std::uint64_t seededAfterFork = forks.load(std::memory_order_relaxed);
    Generator() {
        std::random_device rd;
        for (auto& v : s)
            v = (std::uint64_t(rd()) << 32) ^ rd();
    }
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t next() {
        const std::uint64_t result = rotl(s[1] * 5, 7) * 9;
        const std::uint64_t t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = rotl(s[3], 45);
        return result;
    }
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

Uuid Uuid::random() {
    thread_local Generator gen;
    if (gen.seededAfterFork != forks.load(std::memory_order_relaxed)) gen = Generator();
    Uuid u;
    const std::uint64_t a = gen.next(), b = gen.next();
    std::memcpy(u.bytes.data(), &a, 8);
    std::memcpy(u.bytes.data() + 8, &b, 8);
    u.bytes[6] = std::uint8_t((u.bytes[6] & 0x0F) | 0x40);
    u.bytes[8] = std::uint8_t((u.bytes[8] & 0x3F) | 0x80);
    return u;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    Uuid u;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        const int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        u.bytes[byte++] = std::uint8_t(hi * 16 + lo);
        i += 2;
    }
    return u;
}

std::string Uuid::toString() const {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0xF]);
    }
    return out;
}

} // namespace tb
