#include "analysis/cleanup_catalog.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "analysis/linux_apps.h"
#include "analysis/text.h"
#include "base/path.h"
#include "platform/file_system.h"
#include "scan/scan_forest.h"

namespace tb::CleanupCatalog {
namespace {

constexpr CleanupDescriptor xcode{"Xcode", "Build products can be regenerated on the next build.",
                                  "Path matches Xcode's DerivedData directory.", CleanupRisk::safe};
constexpr CleanupDescriptor packageCache{
    "Package manager", "Downloaded package artifacts can be fetched again.",
    "Path matches a package manager cache.", CleanupRisk::safe};
constexpr CleanupDescriptor project{
    "Developer project",
    "Generated dependencies or build output; rebuilding may require time or network.",
    "Folder name is a recognized generated-output category.", CleanupRisk::review};
constexpr CleanupDescriptor model{
    "Local AI model", "Model weights can be very large and may need to be downloaded again.",
    "Path or file type matches a local model store.", CleanupRisk::caution};
constexpr CleanupDescriptor appCache{
    "Application cache", "Caches are normally rebuilt by the owning app.",
    "Path is inside the user's cache directory.", CleanupRisk::review};

constexpr std::string_view generatedNames[] = {"node_modules", ".build", "deriveddata",
                                               "__pycache__", "coverage"};

// --- rules that need a marker file ---------------------------------------

enum class MarkerPlace { beside, inside };

struct MarkerRule {
    std::string_view name; // the folder's exact name
    MarkerPlace place;
    std::array<std::string_view, 4> markers; // any one of them; empty ones unused
    CleanupDescriptor descriptor;
};

const MarkerRule markerRules[] = {
    {"target",
     MarkerPlace::beside,
     {"Cargo.toml"},
     {"Cargo", "Build output; the next cargo build regenerates it.",
      "Folder named target beside a Cargo.toml.", CleanupRisk::safe}},
    {".venv",
     MarkerPlace::inside,
     {"pyvenv.cfg"},
     {"Python virtual environment",
      "Installed packages; recreate the environment from the project's requirements.",
      "Folder holds a pyvenv.cfg.", CleanupRisk::review}},
    {"venv",
     MarkerPlace::inside,
     {"pyvenv.cfg"},
     {"Python virtual environment",
      "Installed packages; recreate the environment from the project's requirements.",
      "Folder holds a pyvenv.cfg.", CleanupRisk::review}},
    {"node_modules",
     MarkerPlace::beside,
     {"package.json"},
     {"Developer project",
      "Generated dependencies or build output; rebuilding may require time or network.",
      "Folder named node_modules beside a package.json.", CleanupRisk::review}},
    {"build",
     MarkerPlace::inside,
     {"CMakeCache.txt"},
     {"CMake", "Build tree; configure and build again to regenerate it.",
      "Folder holds a CMakeCache.txt.", CleanupRisk::review}},
    {".gradle",
     MarkerPlace::beside,
     {"build.gradle", "build.gradle.kts", "settings.gradle", "settings.gradle.kts"},
     {"Gradle", "Project build cache; the next Gradle build regenerates it.",
      "Folder named .gradle beside a Gradle build file.", CleanupRisk::safe}},
    {".tox",
     MarkerPlace::beside,
     {"tox.ini", "pyproject.toml", "setup.cfg"},
     {"tox", "Test environments; tox recreates them on the next run.",
      "Folder named .tox beside a tox configuration.", CleanupRisk::safe}},
};

// --- rules on the path -----------------------------------------------------

struct PathRule {
    std::string_view fragment; // a substring of the path
    CleanupDescriptor descriptor;
};

constexpr CleanupDescriptor toolchain(std::string_view owner) {
    return {owner, "Downloaded packages can be fetched again.",
            "Path matches the tool's package store.", CleanupRisk::safe};
}

const PathRule toolchainRules[] = {
    {"/.cargo/registry", toolchain("Cargo")},
    {"/.cargo/git", toolchain("Cargo")},
    {"/go/pkg/mod", toolchain("Go modules")},
    {"/.m2/repository", toolchain("Maven")},
    {"/.gradle/caches", toolchain("Gradle")},
    {"/.local/share/pnpm/store", toolchain("pnpm")},
    {"/.conda/pkgs", toolchain("Conda")},
    {"/miniconda3/pkgs", toolchain("Conda")},
    {"/anaconda3/pkgs", toolchain("Conda")},
    {"/miniforge3/pkgs", toolchain("Conda")},
    {"/steamapps/shadercache",
     {"Steam", "Compiled shaders; Steam builds them again when a game starts.",
      "Path matches Steam's shader cache.", CleanupRisk::safe}},
    {"/.local/share/containers",
     {"Podman", "Images can be pulled again; containers and volumes made by hand are lost.",
      "Path matches the container store of Podman and Buildah.", CleanupRisk::caution}},
};

// System folders, matched from the start of the path. They are shown with
// the command that reclaims them; the review queue refuses them.
const PathRule systemRules[] = {
    {"/var/cache/apt/archives",
     {"APT", "Downloaded packages; run \"sudo apt clean\" to remove them.",
      "Path is APT's package cache.", CleanupRisk::review}},
    {"/var/cache/dnf",
     {"DNF", "Downloaded packages and metadata; run \"sudo dnf clean all\" to remove them.",
      "Path is DNF's package cache.", CleanupRisk::review}},
    {"/var/cache/pacman/pkg",
     {"pacman", "Downloaded packages; run \"sudo paccache -r\" to keep only recent ones.",
      "Path is pacman's package cache.", CleanupRisk::review}},
    {"/var/log/journal",
     {"systemd journal",
      "Old system logs; run \"sudo journalctl --vacuum-size=200M\" to shrink them.",
      "Path is the persistent journal.", CleanupRisk::review}},
    {"/var/lib/systemd/coredump",
     {"systemd-coredump", "Crash dumps of programs; remove them with root rights.",
      "Path is the core dump store.", CleanupRisk::review}},
};

// --- children of the user's cache folder ------------------------------------

struct CacheOwner {
    std::string_view name; // child of the cache folder
    std::string_view owner;
};

constexpr CacheOwner cacheOwners[] = {
    {"pip", "pip"},
    {"pypoetry", "Poetry"},
    {"go-build", "Go"},
    {"thumbnails", "Desktop thumbnails"},
    {"mozilla", "Firefox"},
    {"google-chrome", "Google Chrome"},
    {"chromium", "Chromium"},
    {"BraveSoftware", "Brave"},
    {"vivaldi", "Vivaldi"},
    {"microsoft-edge", "Microsoft Edge"},
    {"yarn", "Yarn"},
    {"pnpm", "pnpm"},
    {"npm", "npm"},
    {"JetBrains", "JetBrains IDEs"},
    {"mesa_shader_cache", "Mesa shader cache"},
    {"mesa_shader_cache_db", "Mesa shader cache"},
    {"nvidia", "NVIDIA shader cache"},
};

constexpr std::string_view cacheReason = "Caches are normally rebuilt by the owning app.";
constexpr std::string_view namedCacheEvidence =
    "Folder in the user's cache directory named after its owner.";
constexpr CleanupDescriptor userCache{"Application cache", cacheReason,
                                      "Path is inside the user's cache directory.",
                                      CleanupRisk::review};

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

bool hasChild(const ScanNode* folder, std::string_view name) {
    if (!folder) return false;
    for (const ScanNode* c : folder->children()) {
        if (c->name() == name) return true;
    }
    return false;
}

// Trash folders: the home one and those at the top of other volumes.
bool insideTrash(std::string_view path) {
    return contains(path, "/.local/share/Trash/") || contains(path, "/.Trash-") ||
           contains(path, "/.Trash/");
}

std::size_t componentCount(std::string_view path) {
    std::size_t count = 0;
    bool inComponent = false;
    for (char c : path) {
        if (c == '/') {
            inComponent = false;
        } else if (!inComponent) {
            inComponent = true;
            ++count;
        }
    }
    return count;
}

// True when an ancestor folder of `path` is among `retained`.
bool insideRetained(std::string_view path, const std::unordered_set<std::string>& retained) {
    std::size_t slash = path.rfind('/');
    while (slash != std::string_view::npos && slash > 0) {
        if (retained.count(std::string(path.substr(0, slash)))) return true;
        slash = path.rfind('/', slash - 1);
    }
    return false;
}

} // namespace

std::optional<CleanupDescriptor> descriptor(std::string_view path, std::string_view name) {
    const std::string lower = text::asciiLowercased(name);
    if (contains(path, "/Developer/Xcode/DerivedData")) return xcode;
    if (contains(path, "/.npm/_cacache")) return packageCache;
    if (contains(path, "/.cache/pnpm")) return packageCache;
    if (contains(path, "/.cache/yarn")) return packageCache;
    for (std::string_view n : generatedNames) {
        if (lower == n) return project;
    }
    if (contains(path, "/.ollama/models")) return model;
    if (contains(path, "/.cache/huggingface")) return model;
    if (lower.ends_with(".gguf")) return model;
    if (contains(path, "/Library/Caches/")) return appCache;
    return std::nullopt;
}

std::optional<CleanupDescriptor> classify(const ScanNode& folder, const ScanNode* parent,
                                          const HomePlaces& places) {
    const std::string path = folder.path();
    const std::string_view name = folder.name();
    // A repository is the user's work, whatever its name; and what is
    // already in a Trash is emptied there, not queued again.
    if (hasChild(&folder, ".git") || insideTrash(path)) return std::nullopt;
    for (const auto& rule : systemRules) {
        if (Path::isSameOrInside(path, rule.fragment)) return rule.descriptor;
    }
    for (const auto& rule : markerRules) {
        if (name != rule.name) continue;
        const ScanNode* where = rule.place == MarkerPlace::beside ? parent : &folder;
        for (std::string_view marker : rule.markers) {
            if (!marker.empty() && hasChild(where, marker)) return rule.descriptor;
        }
        // The name alone proves nothing: let the other rules decide, except
        // that node_modules without its package.json is not listed at all.
        if (name == "node_modules") return std::nullopt;
    }
    if (auto d = descriptor(path, name)) return d;
    for (const auto& rule : toolchainRules) {
        if (contains(path, rule.fragment)) return rule.descriptor;
    }
    if (!places.cacheHome.empty() && parent && parent->path() == places.cacheHome) {
        for (const auto& c : cacheOwners) {
            if (name == c.name) {
                return CleanupDescriptor{c.owner, cacheReason, namedCacheEvidence,
                                         CleanupRisk::safe};
            }
        }
        return userCache;
    }
    return std::nullopt;
}

std::vector<CleanupCandidate> candidates(const ScanForest& forest, const HomePlaces& places,
                                         const KnownPaths& known) {
    return candidates(std::span<const ScanNode* const>(forest.nodes()), places, known);
}

std::vector<CleanupCandidate> candidates(const ScanForest& forest) {
    const auto home = platform::SpecialFolders::home();
    const HomePlaces places = home ? HomePlaces::of(*home) : HomePlaces{};
    return candidates(forest, places, LinuxApps::sandboxLeftovers(AppSources::forHome(places)));
}

std::vector<CleanupCandidate> candidates(std::span<const ScanNode* const> nodes,
                                         const HomePlaces& places, const KnownPaths& known) {
    // Nodes know their children only; the parents of the few folders large
    // enough to be listed are found in one pass.
    std::unordered_map<const ScanNode*, const ScanNode*> parentOf;
    for (const ScanNode* node : nodes) {
        if (!node->isDirectory()) continue;
        for (const ScanNode* c : node->children()) {
            if (c->isDirectory() && c->allocatedSize() > minimumBytes) parentOf[c] = node;
        }
    }
    struct Found {
        CleanupCandidate candidate;
        std::size_t depth;
    };
    std::vector<Found> found;
    for (const ScanNode* node : nodes) {
        if (node->allocatedSize() <= minimumBytes) continue;
        std::optional<CleanupDescriptor> d;
        if (const auto k = known.find(std::string(node->path())); k != known.end()) {
            d = k->second;
        } else if (node->isDirectory()) {
            const auto p = parentOf.find(node);
            d = classify(*node, p == parentOf.end() ? nullptr : p->second, places);
        }
        if (!d) continue;
        CleanupCandidate c;
        c.id = std::string(node->path());
        c.title = std::string(node->name());
        c.url = c.id;
        c.bytes = node->allocatedSize();
        c.owner = std::string(d->owner);
        c.reason = std::string(d->reason);
        c.evidence = std::string(d->evidence);
        c.risk = d->risk;
        c.isDirectory = node->isDirectory();
        found.push_back({std::move(c), componentCount(node->path())});
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.candidate.bytes != b.candidate.bytes) return a.candidate.bytes > b.candidate.bytes;
        return a.depth < b.depth;
    });

    // A folder is at least as large as any folder inside it, so after the
    // sort the outermost match comes first and its insides are dropped.
    std::vector<CleanupCandidate> result;
    std::unordered_set<std::string> retained;
    for (auto& f : found) {
        if (insideRetained(f.candidate.id, retained)) continue;
        retained.insert(Path::standardized(f.candidate.id));
        result.push_back(std::move(f.candidate));
    }
    return result;
}

} // namespace tb::CleanupCatalog
