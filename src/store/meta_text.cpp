#include "store/meta_text.h"

#include <algorithm>
#include <charconv>

namespace tb::MetaText {

std::optional<std::int64_t> parseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    // Parse the magnitude unsigned so that INT64_MIN is accepted.
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    constexpr std::uint64_t limit = std::uint64_t(INT64_MAX);
    if (negative) {
        if (magnitude > limit + 1) return std::nullopt;
        return magnitude == limit + 1 ? INT64_MIN : -std::int64_t(magnitude);
    }
    if (magnitude > limit) return std::nullopt;
    return std::int64_t(magnitude);
}

std::string quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('\'');
    for (char c : text) {
        if (c == '\'') out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

namespace {

void appendEncoded(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : text) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r' || c == '\0') {
            const auto b = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        int hi = 0, lo = 0;
        if (text[i] == '%' && i + 2 < text.size() && (hi = hexDigit(text[i + 1])) >= 0 &&
            (lo = hexDigit(text[i + 2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::string leftOutText(const ScanContext& context) {
    std::string out;
    for (const std::string& p : context.excludePatterns) {
        out += "pattern\t";
        appendEncoded(out, p);
        out += '\n';
    }
    out += "count\t" + std::to_string(context.leftOutCount) + "\n";
    for (const LeftOut& l : context.leftOut) {
        out += rawValue(l.kind);
        out += '\t';
        appendEncoded(out, l.path);
        out += '\n';
    }
    return out;
}

void readLeftOut(std::string_view text, ScanContext& context) {
    context.excludePatterns.clear();
    context.leftOut.clear();
    context.leftOutCount = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, tab);
        const std::string_view value = line.substr(tab + 1);
        if (key == "pattern") {
            if (context.excludePatterns.size() < ScanContext::kLeftOutLimit) {
                context.excludePatterns.push_back(decoded(value));
            }
        } else if (key == "count") {
            context.leftOutCount = std::max<std::int64_t>(0, parseDecimal(value).value_or(0));
        } else if (auto kind = leftOutKind(key); kind && *kind != LeftOutKind::none) {
            if (context.leftOut.size() < ScanContext::kLeftOutLimit) {
                context.leftOut.push_back({decoded(value), *kind});
            }
        }
    }
    context.leftOutCount =
        std::max<std::int64_t>(context.leftOutCount, std::int64_t(context.leftOut.size()));
}

} // namespace tb::MetaText
