// Well-known places below the Home folder where space collects: the quick-win
// catalog, and the locations where an application keeps data outside its
// bundle. Constant tables and pure functions; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb::GhostCatalog {

struct Ghost {
    std::string_view id;
    std::string_view title;
    std::string_view why;
    std::string_view relativePath;  // below the Home folder
    std::int64_t minBytes = 0;

    bool operator==(const Ghost&) const = default;
};

inline constexpr std::array<Ghost, 10> known = {{
    {"derived", "Xcode DerivedData", "Build products. Safe to regenerate.",
     "Library/Developer/Xcode/DerivedData", 1'000'000},
    {"sim", "iOS Simulators", "Device data you can recreate.",
     "Library/Developer/CoreSimulator/Devices", 1'000'000},
    {"archives", "Xcode Archives", "Old .xcarchive bundles.", "Library/Developer/Xcode/Archives",
     1'000'000},
    {"docker", "Docker.raw",
     "Prune or resize in Docker Desktop. The file often will not shrink if you only Trash it.",
     "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw", 1'000'000},
    {"ollama", "Ollama models", "Local weights. Re-pull if you still need them.",
     ".ollama/models", 5'000'000},
    {"hf", "Hugging Face hub", "Cached model files.", ".cache/huggingface/hub", 5'000'000},
    {"adobe", "Adobe media cache", "Premiere/After Effects previews. They rebuild.",
     "Library/Application Support/Adobe/Common/Media Cache Files", 5'000'000},
    {"backups", "iOS backups", "Local device backups.",
     "Library/Application Support/MobileSync/Backup", 5'000'000},
    {"npm", "npm cache", "Package cache. npm will refill it.", ".npm/_cacache", 1'000'000},
    {"caches", "User caches", "App caches. They come back as needed.", "Library/Caches",
     1'000'000},
}};

struct LeftoverSpot {
    std::string url;    // home with the relative path appended
    std::string label;  // "Application support", "Logs", "Caches", ...

    bool operator==(const LeftoverSpot&) const = default;
};

// Where an application named `name` with identifier `bundleId` keeps data,
// in table order; both are trimmed first, and a location equal to an earlier
// one is not repeated. Touches no file.
std::vector<LeftoverSpot> leftoverSpots(std::string_view name, std::string_view bundleId,
                                        const std::string& home);

} // namespace tb::GhostCatalog
