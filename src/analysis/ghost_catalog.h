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

// The folder a ghost's relative path starts from.
enum class Base { home, cacheHome, dataHome };

struct Ghost {
    std::string_view id;
    std::string_view title;
    std::string_view why;
    std::string_view relativePath; // below `base`; "" for the base itself
    std::int64_t minBytes = 0;
    Base base = Base::home;

    bool operator==(const Ghost&) const = default;
};

// The macOS rows first; they simply never match on Linux.
inline constexpr std::array<Ghost, 22> known = {{
    {"derived", "Xcode DerivedData", "Build products. Safe to regenerate.",
     "Library/Developer/Xcode/DerivedData", 1'000'000},
    {"sim", "iOS Simulators", "Device data you can recreate.",
     "Library/Developer/CoreSimulator/Devices", 1'000'000},
    {"archives", "Xcode Archives", "Old .xcarchive bundles.", "Library/Developer/Xcode/Archives",
     1'000'000},
    {"docker", "Docker.raw",
     "Prune or resize in Docker Desktop. The file often will not shrink if you only Trash it.",
     "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw", 1'000'000},
    {"ollama", "Ollama models", "Local weights. Re-pull if you still need them.", ".ollama/models",
     5'000'000},
    {"hf", "Hugging Face hub", "Cached model files.", ".cache/huggingface/hub", 5'000'000},
    {"adobe", "Adobe media cache", "Premiere/After Effects previews. They rebuild.",
     "Library/Application Support/Adobe/Common/Media Cache Files", 5'000'000},
    {"backups", "iOS backups", "Local device backups.",
     "Library/Application Support/MobileSync/Backup", 5'000'000},
    {"npm", "npm cache", "Package cache. npm will refill it.", ".npm/_cacache", 1'000'000},
    {"caches", "User caches", "App caches. They come back as needed.", "Library/Caches", 1'000'000},
    {"cache", "User caches", "App caches. They come back as needed.", "", 1'000'000,
     Base::cacheHome},
    {"thumbnails", "Thumbnails", "Previews the file manager draws again.", "thumbnails", 1'000'000,
     Base::cacheHome},
    {"pip", "pip cache", "Package cache. pip will refill it.", "pip", 1'000'000, Base::cacheHome},
    {"go-build", "Go build cache", "Compiled packages. The next go build refills it.", "go-build",
     1'000'000, Base::cacheHome},
    {"cargo", "Cargo registry", "Downloaded crates. Cargo fetches them again.", ".cargo/registry",
     1'000'000},
    {"cargo-git", "Cargo git checkouts", "Git dependencies. Cargo fetches them again.",
     ".cargo/git", 1'000'000},
    {"go-mod", "Go module cache", "Downloaded modules. Go fetches them again.", "go/pkg/mod",
     1'000'000},
    {"maven", "Maven repository", "Downloaded artifacts. Maven fetches them again.",
     ".m2/repository", 1'000'000},
    {"gradle", "Gradle caches", "Dependencies and build caches. Gradle refills them.",
     ".gradle/caches", 1'000'000},
    {"containers", "Podman containers", "Images and layers. Pull again what you still need.",
     "containers", 5'000'000, Base::dataHome},
    {"docker-desktop", "Docker Desktop disk",
     "Prune or resize in Docker Desktop. The file often will not shrink if you only Trash it.",
     ".docker/desktop/vms/0/data/Docker.raw", 1'000'000},
    {"trash", "Trash", "Emptying the Trash frees this space.", "Trash", 1'000'000, Base::dataHome},
}};

struct LeftoverSpot {
    std::string url;   // home with the relative path appended
    std::string label; // "Application support", "Logs", "Caches", ...

    bool operator==(const LeftoverSpot&) const = default;
};

// Where an application named `name` with identifier `bundleId` keeps data,
// in table order; both are trimmed first, and a location equal to an earlier
// one is not repeated. Touches no file.
std::vector<LeftoverSpot> leftoverSpots(std::string_view name, std::string_view bundleId,
                                        const std::string& home);

} // namespace tb::GhostCatalog
