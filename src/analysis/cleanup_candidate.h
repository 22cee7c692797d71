// One folder of rebuildable storage found in a scan, and its risk level.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tb {

enum class CleanupRisk { safe, review, caution };
inline constexpr std::array<CleanupRisk, 3> allCleanupRisks = {
    CleanupRisk::safe, CleanupRisk::review, CleanupRisk::caution};

// "Rebuildable", "Review first", "Could affect data".
inline std::string_view rawValue(CleanupRisk risk) {
    switch (risk) {
    case CleanupRisk::safe: return "Rebuildable";
    case CleanupRisk::review: return "Review first";
    case CleanupRisk::caution: return "Could affect data";
    }
    return "";
}

inline std::optional<CleanupRisk> cleanupRisk(std::string_view raw) {
    for (auto r : allCleanupRisks) {
        if (rawValue(r) == raw) return r;
    }
    return std::nullopt;
}

struct CleanupCandidate {
    std::string id;    // the folder's path
    std::string title; // its name as scanned
    std::string url;   // the folder's path
    std::int64_t bytes = 0;
    std::string owner;
    std::string reason;
    std::string evidence;
    CleanupRisk risk = CleanupRisk::safe;
    bool isDirectory = true;
    // How it comes back once removed; empty when nothing brings it back.
    std::string regenerate;

    bool operator==(const CleanupCandidate&) const = default;
};

} // namespace tb
