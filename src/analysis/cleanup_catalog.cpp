#include "analysis/cleanup_catalog.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "analysis/linux_apps.h"
#include "analysis/protected_paths.h"
#include "analysis/text.h"
#include "base/path.h"
#include "platform/file_system.h"
#include "scan/scan_forest.h"

namespace tb::CleanupCatalog {
namespace {

using CleanupEvidence::listed;

constexpr CleanupDescriptor xcode{"Xcode", "Build products can be regenerated on the next build.",
                                  "Path matches Xcode's DerivedData directory.", CleanupRisk::safe,
                                  "Xcode rebuilds it on the next build."};
constexpr CleanupDescriptor packageCache{
    "Package manager", "Downloaded package artifacts can be fetched again.",
    "Path matches a package manager cache.", CleanupRisk::safe,
    "The package manager downloads packages again when a project needs them."};
constexpr CleanupDescriptor model{
    "Local AI model", "Model weights can be very large and may need to be downloaded again.",
    "Path or file type matches a local model store.", CleanupRisk::caution,
    "Only by downloading the model again."};
constexpr CleanupDescriptor appCache{
    "Application cache", "Caches are normally rebuilt by the owning app.",
    "Path is inside the user's cache directory.", CleanupRisk::review,
    "The owning app fills it again as needed."};

constexpr std::string_view projectOwner = "Developer project";
constexpr std::string_view projectReason =
    "Generated dependencies or build output; rebuilding may require time or network.";

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
      "Folder named target beside a Cargo.toml.", CleanupRisk::safe,
      "`cargo build` regenerates it."}},
    {".gradle",
     MarkerPlace::beside,
     {"build.gradle", "build.gradle.kts", "settings.gradle", "settings.gradle.kts"},
     {"Gradle", "Project build cache; the next Gradle build regenerates it.",
      "Folder named .gradle beside a Gradle build file.", CleanupRisk::safe,
      "The next Gradle build regenerates it."}},
    {".tox",
     MarkerPlace::beside,
     {"tox.ini", "pyproject.toml", "setup.cfg"},
     {"tox", "Test environments; tox recreates them on the next run.",
      "Folder named .tox beside a tox configuration.", CleanupRisk::safe,
      "tox recreates it on the next run."}},
    {".build",
     MarkerPlace::beside,
     {"Package.swift"},
     {projectOwner, projectReason, "Folder named .build beside a Package.swift.",
      CleanupRisk::review, "`swift build` regenerates it."}},
};

// A lock file beside node_modules says exactly what comes back.
struct LockFile {
    std::string_view name;
    std::string_view regenerate;
};
constexpr LockFile lockFiles[] = {
    {"package-lock.json", "`npm ci` reinstalls it from package-lock.json."},
    {"npm-shrinkwrap.json", "`npm ci` reinstalls it from npm-shrinkwrap.json."},
    {"yarn.lock", "`yarn install` reinstalls it from yarn.lock."},
    {"pnpm-lock.yaml", "`pnpm install` reinstalls it from pnpm-lock.yaml."},
    {"bun.lockb", "`bun install` reinstalls it from bun.lockb."},
};

// What sits beside a virtual environment to recreate it from.
bool isRequirementsName(std::string_view n) {
    return n.starts_with("requirements") && n.ends_with(".txt");
}
std::string manifestRegenerate(std::string_view manifest) {
    if (isRequirementsName(manifest)) {
        return "`pip install -r " + std::string(manifest) +
               "` in a new environment downloads its packages again.";
    }
    if (manifest == "Pipfile") return "`pipenv install` recreates it from the Pipfile.";
    return "`pip install .` in a new environment downloads its packages again from " +
           std::string(manifest) + ".";
}
constexpr std::string_view manifestNames[] = {"pyproject.toml", "Pipfile", "setup.py", "setup.cfg"};
// Files a site-packages folder holds that no package's record lists, yet
// belong to the environment's own tools.
constexpr std::string_view unrecordedTools[] = {"_virtualenv.pth", "_virtualenv.py",
                                                "easy-install.pth", "README.txt"};
constexpr std::size_t maxVenvFiles = 200'000;
constexpr std::size_t maxRecordBytes = 32 * 1024 * 1024;

// --- rules on the path -----------------------------------------------------

struct PathRule {
    std::string_view fragment; // a substring of the path
    CleanupDescriptor descriptor;
};

constexpr CleanupDescriptor toolchain(std::string_view owner, std::string_view regenerate) {
    return {owner, "Downloaded packages can be fetched again.",
            "Path matches the tool's package store.", CleanupRisk::safe, regenerate};
}

const PathRule toolchainRules[] = {
    {"/.cargo/registry", toolchain("Cargo", "Cargo downloads the crates again on the next build.")},
    {"/.cargo/git", toolchain("Cargo", "Cargo fetches the checkouts again on the next build.")},
    {"/go/pkg/mod", toolchain("Go modules", "Go downloads the modules again on the next build.")},
    {"/.m2/repository", toolchain("Maven", "Maven downloads them again on the next build.")},
    {"/.gradle/caches", toolchain("Gradle", "Gradle downloads them again on the next build.")},
    {"/.local/share/pnpm/store",
     toolchain("pnpm", "pnpm downloads them again on the next install.")},
    {"/.conda/pkgs",
     toolchain("Conda", "conda downloads them again when an environment needs them.")},
    {"/miniconda3/pkgs",
     toolchain("Conda", "conda downloads them again when an environment needs them.")},
    {"/anaconda3/pkgs",
     toolchain("Conda", "conda downloads them again when an environment needs them.")},
    {"/miniforge3/pkgs",
     toolchain("Conda", "conda downloads them again when an environment needs them.")},
    {"/steamapps/shadercache",
     {"Steam", "Compiled shaders; Steam builds them again when a game starts.",
      "Path matches Steam's shader cache.", CleanupRisk::safe,
      "Steam builds them again when a game starts."}},
    {"/.local/share/containers",
     {"Podman", "Images can be pulled again; containers and volumes made by hand are lost.",
      "Path matches the container store of Podman and Buildah.", CleanupRisk::caution,
      "`podman pull` fetches images again; containers and volumes do not come back."}},
};

// System folders, matched from the start of the path. They are shown with
// the command that reclaims them; the review queue refuses them.
const PathRule systemRules[] = {
    {"/var/cache/apt/archives",
     {"APT", "Downloaded packages; run \"sudo apt clean\" to remove them.",
      "Path is APT's package cache.", CleanupRisk::review,
      "apt downloads packages again when it installs them."}},
    {"/var/cache/dnf",
     {"DNF", "Downloaded packages and metadata; run \"sudo dnf clean all\" to remove them.",
      "Path is DNF's package cache.", CleanupRisk::review,
      "dnf downloads them again when it needs them."}},
    {"/var/cache/pacman/pkg",
     {"pacman", "Downloaded packages; run \"sudo paccache -r\" to keep only recent ones.",
      "Path is pacman's package cache.", CleanupRisk::review,
      "pacman downloads packages again when it installs them."}},
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
    std::string_view regenerate;
};

constexpr std::string_view browserRefill = "The browser fills it again as you browse.";
constexpr std::string_view shaderRefill = "Shaders are compiled again when programs next use them.";

constexpr CacheOwner cacheOwners[] = {
    {"pip", "pip", "pip downloads it again."},
    {"pypoetry", "Poetry", "Poetry downloads it again."},
    {"go-build", "Go", "Go rebuilds it on the next build."},
    {"thumbnails", "Desktop thumbnails", "The file manager draws the previews again."},
    {"mozilla", "Firefox", browserRefill},
    {"google-chrome", "Google Chrome", browserRefill},
    {"chromium", "Chromium", browserRefill},
    {"BraveSoftware", "Brave", browserRefill},
    {"vivaldi", "Vivaldi", browserRefill},
    {"microsoft-edge", "Microsoft Edge", browserRefill},
    {"yarn", "Yarn", "Yarn downloads packages again when a project needs them."},
    {"pnpm", "pnpm", "pnpm downloads packages again when a project needs them."},
    {"npm", "npm", "npm downloads packages again when a project needs them."},
    {"JetBrains", "JetBrains IDEs", "The IDE rebuilds its caches and indexes at the next start."},
    {"mesa_shader_cache", "Mesa shader cache", shaderRefill},
    {"mesa_shader_cache_db", "Mesa shader cache", shaderRefill},
    {"nvidia", "NVIDIA shader cache", shaderRefill},
};

constexpr std::string_view cacheReason = "Caches are normally rebuilt by the owning app.";
constexpr std::string_view namedCacheEvidence =
    "Folder in the user's cache directory named after its owner.";
constexpr std::string_view appRefill = "The app fills it again as needed.";
constexpr CleanupDescriptor userCache{"Application cache", cacheReason,
                                      "Path is inside the user's cache directory.",
                                      CleanupRisk::review, appRefill};

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

const ScanNode* childNamed(const ScanNode* folder, std::string_view name) {
    if (!folder) return nullptr;
    for (const ScanNode* c : folder->children()) {
        if (c->name() == name) return c;
    }
    return nullptr;
}

bool hasChild(const ScanNode* folder, std::string_view name) {
    return childNamed(folder, name) != nullptr;
}

const ScanNode* childFile(const ScanNode* folder, std::string_view name) {
    const ScanNode* c = childNamed(folder, name);
    return c && !c->isDirectory() ? c : nullptr;
}

// The first child whose name passes `test`.
template <typename Test>
const ScanNode* firstChild(const ScanNode* folder, Test&& test) {
    if (!folder) return nullptr;
    for (const ScanNode* c : folder->children()) {
        if (test(c->name())) return c;
    }
    return nullptr;
}

// Trash folders: the home one and those at the top of other volumes.
bool insideTrash(std::string_view path, const HomePlaces& places) {
    const std::string trash =
        places.dataHome.empty() ? std::string() : Path::appending(places.dataHome, "Trash");
    return ProtectedPaths::isInsideTrash(path, trash) || contains(path, "/.local/share/Trash/");
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

CleanupFinding projectFinding(std::string evidence, std::string regenerate) {
    return {std::string(projectOwner), std::string(projectReason), std::move(evidence),
            CleanupRisk::review, std::move(regenerate)};
}

// --- folders known by what they hold ----------------------------------------

std::optional<CleanupFinding> nodeModules(const ScanNode* parent) {
    if (!childFile(parent, "package.json")) return std::nullopt;
    for (const auto& lock : lockFiles) {
        if (childFile(parent, lock.name)) {
            return projectFinding("Folder named node_modules beside a package.json and " +
                                      std::string(lock.name) + ".",
                                  std::string(lock.regenerate));
        }
    }
    return projectFinding("Folder named node_modules beside a package.json.",
                          "`npm install` reinstalls it from package.json; without a lock file "
                          "the versions may differ.");
}

std::optional<CleanupFinding> compiledPython(const ScanNode& folder) {
    const auto children = folder.children();
    const bool onlyCompiled =
        !children.empty() && std::all_of(children.begin(), children.end(), [](const ScanNode* c) {
            return !c->isDirectory() &&
                   (c->name().ends_with(".pyc") || c->name().ends_with(".pyo"));
        });
    if (!onlyCompiled) return std::nullopt;
    return projectFinding("Folder named __pycache__ holding only compiled Python files.",
                          "Python compiles the modules again when they are next imported.");
}

bool isCoverageData(std::string_view n) {
    return n == "lcov.info" || n == "coverage-final.json" || n == "coverage-summary.json" ||
           n == "clover.xml" || n == "cobertura-coverage.xml" || n == "coverage.xml" ||
           n == "lcov-report" || n == "status.json" || n.starts_with("coverage_html");
}

bool isTestConfiguration(std::string_view n) {
    return n == "package.json" || n == ".coveragerc" || n == "pyproject.toml" || n == "setup.cfg" ||
           n == "tox.ini" || n == "pytest.ini" || n.starts_with("jest.config") ||
           n.starts_with("vitest.config") || n.starts_with("karma.conf") ||
           n.starts_with(".nycrc") || n.starts_with(".c8rc");
}

std::optional<CleanupFinding> coverage(const ScanNode& folder) {
    const ScanNode* data = firstChild(&folder, isCoverageData);
    const ScanNode* config = firstChild(folder.parent(), isTestConfiguration);
    if (!data || !config) return std::nullopt;
    return projectFinding("Folder holds coverage data (" + std::string(data->name()) +
                              ") beside a test configuration (" + std::string(config->name()) +
                              ").",
                          "Running the tests with coverage writes it again.");
}

std::optional<CleanupFinding> derivedDataByName(const ScanNode& folder) {
    const bool moduleCache = hasChild(&folder, "ModuleCache.noindex");
    const ScanNode* project = firstChild(folder.parent(), [](std::string_view n) {
        return n.ends_with(".xcodeproj") || n.ends_with(".xcworkspace") || n == "Package.swift";
    });
    if (!moduleCache && !project) return std::nullopt;
    return projectFinding(
        moduleCache ? std::string("Folder named DerivedData holding Xcode's "
                                  "ModuleCache.noindex.")
                    : "Folder named DerivedData beside " + std::string(project->name()) + ".",
        "Xcode rebuilds it on the next build.");
}

// What a virtual environment's site-packages holds beyond its packages'
// install records.
struct VenvCheck {
    std::vector<std::string> unlisted; // relative to site-packages
    std::vector<std::string> changed;  // listed, with another size
    bool incomplete = false;
};

void checkSitePackages(const ScanNode& site, const DiskEvidence& disk, VenvCheck& check,
                       std::size_t& visited) {
    const std::string sitePath = site.path();
    std::unordered_map<std::string, std::int64_t> recorded; // standardised path -> size
    std::unordered_set<const ScanNode*> ownFolders;         // *.dist-info and *.egg-info
    for (const ScanNode* c : site.children()) {
        if (!c->isDirectory()) continue;
        const std::string_view n = c->name();
        if (n.ends_with(".egg-info")) ownFolders.insert(c);
        if (!n.ends_with(".dist-info")) continue;
        ownFolders.insert(c);
        const ScanNode* record = childFile(c, "RECORD");
        if (!record) continue;
        const auto text = disk.head(record->path(), maxRecordBytes);
        if (!text) continue;
        for (auto& e : CleanupEvidence::parseRecord(*text)) {
            recorded[Path::standardized(sitePath + "/" + e.path)] = e.size;
        }
    }
    for (const ScanNode* c : site.children()) {
        if (!c->name().ends_with(".egg-info")) continue;
        const ScanNode* list = childFile(c, "installed-files.txt");
        if (!list) continue;
        const auto text = disk.head(list->path(), maxRecordBytes);
        if (!text) continue;
        const std::string base = c->path();
        for (const auto& e : CleanupEvidence::parseRecord(*text)) {
            recorded[Path::standardized(base + "/" + e.path)] = -1;
        }
    }
    std::vector<const ScanNode*> stack(site.children().begin(), site.children().end());
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        if (++visited > maxVenvFiles) {
            check.incomplete = true;
            return;
        }
        if (n->isDirectory()) {
            if (ownFolders.count(n)) continue;
            const bool compiled = n->name() == "__pycache__";
            for (const ScanNode* c : n->children()) {
                // Python writes compiled files beside every module it imports.
                if (compiled && !c->isDirectory() && c->name().ends_with(".pyc")) continue;
                stack.push_back(c);
            }
            continue;
        }
        const std::string path = n->path();
        const std::string relative = path.substr(sitePath.size() + 1);
        if (n->parent() == &site &&
            std::find(std::begin(unrecordedTools), std::end(unrecordedTools), n->name()) !=
                std::end(unrecordedTools)) {
            continue;
        }
        const auto it = recorded.find(path);
        if (it == recorded.end()) {
            check.unlisted.push_back(relative);
        } else if (it->second >= 0 && it->second != n->logicalSize()) {
            check.changed.push_back(relative);
        }
    }
}

std::optional<CleanupFinding> virtualEnvironment(const ScanNode& folder, const DiskEvidence& disk) {
    if (!childFile(&folder, "pyvenv.cfg")) return std::nullopt;
    const ScanNode* parent = folder.parent();
    const ScanNode* manifest = firstChild(parent, isRequirementsName);
    for (std::string_view name : manifestNames) {
        if (!manifest) manifest = childFile(parent, name);
    }
    VenvCheck check;
    std::size_t visited = 0;
    std::vector<const ScanNode*> sites;
    if (const ScanNode* lib = childNamed(&folder, "lib")) {
        for (const ScanNode* version : lib->children()) {
            if (const ScanNode* site = childNamed(version, "site-packages")) sites.push_back(site);
        }
    }
    if (const ScanNode* site = childNamed(childNamed(&folder, "Lib"), "site-packages")) {
        sites.push_back(site);
    }
    for (const ScanNode* site : sites) {
        if (site->isDirectory()) checkSitePackages(*site, disk, check, visited);
    }

    std::vector<std::string> concerns;
    if (!manifest) {
        concerns.push_back(
            "no requirements file, pyproject.toml, Pipfile, setup.py or setup.cfg sits beside it");
    }
    if (!check.unlisted.empty()) {
        concerns.push_back("its site-packages holds files that no installed package lists: " +
                           listed(check.unlisted));
    }
    if (!check.changed.empty()) {
        concerns.push_back("files differ in size from what their package installed: " +
                           listed(check.changed));
    }
    if (check.incomplete) concerns.push_back("it holds too many files to check them all");

    CleanupFinding f;
    f.owner = "Python virtual environment";
    f.evidence = "Folder holds a pyvenv.cfg";
    f.evidence += manifest ? "; " + std::string(manifest->name()) + " sits beside it." : ".";
    if (concerns.empty()) {
        f.reason = "Installed packages; recreate the environment from the project's requirements.";
        f.risk = CleanupRisk::safe;
        f.regenerate = manifestRegenerate(manifest->name());
        return f;
    }
    std::string joined;
    for (const auto& c : concerns)
        joined += (joined.empty() ? "" : "; ") + c;
    joined[0] = char(joined[0] - 'a' + 'A');
    f.reason = joined + ". What it holds may exist nowhere else.";
    f.risk = CleanupRisk::review;
    if (manifest) {
        f.regenerate = manifestRegenerate(manifest->name());
        f.regenerate.pop_back();
        f.regenerate += "; the files named above do not come back.";
    }
    return f;
}

std::optional<CleanupFinding> cmakeBuildTree(const ScanNode& folder, const DiskEvidence& disk) {
    const ScanNode* cache = childFile(&folder, "CMakeCache.txt");
    // A tree built in its own sources holds CMakeLists.txt too: that is the project.
    if (!cache || hasChild(&folder, "CMakeLists.txt")) return std::nullopt;
    const std::string path = folder.path();
    std::string sources;
    if (const auto text = disk.head(cache->path(), 4 * 1024 * 1024)) {
        constexpr std::string_view key = "\nCMAKE_HOME_DIRECTORY:INTERNAL=";
        if (const auto at = text->find(key); at != std::string::npos) {
            const std::size_t from = at + key.size();
            sources = text->substr(from, text->find('\n', from) - from);
            if (!sources.empty() && sources.back() == '\r') sources.pop_back();
        }
    }
    if (!sources.empty() && Path::isSameOrInside(sources, path)) return std::nullopt;
    return CleanupFinding{"CMake", "Build tree; configure and build again to regenerate it.",
                          sources.empty()
                              ? std::string("Folder holds a CMakeCache.txt.")
                              : "Folder holds a CMakeCache.txt for the sources in " + sources + ".",
                          CleanupRisk::review,
                          "CMake regenerates it when the project is configured and built again."};
}

std::optional<CleanupFinding> taggedCache(const ScanNode& folder, const DiskEvidence& disk) {
    const ScanNode* tag = childFile(&folder, "CACHEDIR.TAG");
    if (!tag) return std::nullopt;
    const auto bytes = disk.head(tag->path(), 4096);
    const auto text = bytes ? CleanupEvidence::cacheTagText(*bytes) : std::nullopt;
    if (!text) return std::nullopt;
    return CleanupFinding{
        "Tagged cache", "The program that made this folder marked it as a cache it can rebuild.",
        text->empty() ? std::string("Folder holds a signed CACHEDIR.TAG.")
                      : "Folder holds a signed CACHEDIR.TAG: \"" + *text + "\"",
        CleanupRisk::safe, "The program that tagged it rebuilds it when it needs it."};
}

// ~/.var/app/ID/cache and ~/snap/NAME/common/.cache: the caches of
// sandboxed apps, kept inside their own data.
std::optional<CleanupFinding> sandboxCache(std::string_view path, const HomePlaces& places) {
    if (places.home.empty() || !Path::isSameOrInside(path, places.home) || path == places.home) {
        return std::nullopt;
    }
    std::string_view rest = path.substr(places.home == "/" ? 1 : places.home.size() + 1);
    const auto between = [&](std::string_view before,
                             std::string_view after) -> std::optional<std::string_view> {
        if (!rest.starts_with(before) || !rest.ends_with(after)) return std::nullopt;
        if (rest.size() <= before.size() + after.size()) return std::nullopt;
        const auto id = rest.substr(before.size(), rest.size() - before.size() - after.size());
        if (id.find('/') != std::string_view::npos) return std::nullopt;
        return id;
    };
    if (auto id = between(".var/app/", "/cache")) {
        return CleanupFinding{std::string(*id), std::string(cacheReason),
                              "Cache folder in the Flatpak sandbox of " + std::string(*id) + ".",
                              CleanupRisk::review, std::string(appRefill)};
    }
    if (auto name = between("snap/", "/common/.cache")) {
        return CleanupFinding{std::string(*name), std::string(cacheReason),
                              "Cache folder in the data of the snap " + std::string(*name) + ".",
                              CleanupRisk::review, std::string(appRefill)};
    }
    return std::nullopt;
}

// --- files a user reviews ---------------------------------------------------

std::optional<CleanupFinding> fileFinding(const ScanNode& file, const HomePlaces& places,
                                          const DiskEvidence& disk) {
    const std::string_view name = file.name();
    const std::string path = file.path();
    if (CleanupEvidence::hasCoreName(name)) {
        const auto head = disk.head(path, 64);
        if (head && CleanupEvidence::isElfCore(*head)) {
            return CleanupFinding{
                "Core dump",
                "Memory image of a program that crashed; it helps only to debug that crash.",
                "File named " + std::string(name) + " with an ELF core header.",
                CleanupRisk::review, ""};
        }
    }
    if (places.home.empty() || !Path::isSameOrInside(path, places.home)) return std::nullopt;
    const bool session = name.starts_with(".xsession-errors");
    const bool log = name.ends_with(".log") || contains(name, ".log.");
    if (session || (log && file.allocatedSize() >= bigLogBytes)) {
        return CleanupFinding{
            "Log file",
            "Messages programs wrote as they ran; read it first if you are tracing a problem.",
            session ? std::string("The desktop session's error log in the home folder.")
                    : "Log file in the home folder larger than " +
                          std::to_string(bigLogBytes / 1'000'000) + " MB.",
            CleanupRisk::review,
            session ? "The desktop session starts a new one at the next login." : ""};
    }
    return std::nullopt;
}

} // namespace

std::optional<CleanupDescriptor> descriptor(std::string_view path, std::string_view name) {
    const std::string lower = text::asciiLowercased(name);
    if (contains(path, "/Developer/Xcode/DerivedData")) return xcode;
    if (contains(path, "/.npm/_cacache")) return packageCache;
    if (contains(path, "/.cache/pnpm")) return packageCache;
    if (contains(path, "/.cache/yarn")) return packageCache;
    if (contains(path, "/.ollama/models")) return model;
    if (contains(path, "/.cache/huggingface")) return model;
    if (lower.ends_with(".gguf")) return model;
    if (contains(path, "/Library/Caches/")) return appCache;
    return std::nullopt;
}

std::optional<CleanupFinding> classify(const ScanNode& node, const HomePlaces& places,
                                       const DiskEvidence& disk) {
    const std::string path = node.path();
    // What is already in a Trash is emptied there, not queued again.
    if (insideTrash(path, places)) return std::nullopt;
    for (const auto& rule : systemRules) {
        if (Path::isSameOrInside(path, rule.fragment)) return CleanupFinding::of(rule.descriptor);
    }
    if (!node.isDirectory()) return fileFinding(node, places, disk);
    // A repository is the user's work, whatever its name.
    if (hasChild(&node, ".git")) return std::nullopt;
    const std::string_view name = node.name();
    const ScanNode* parent = node.parent();
    const std::string lower = text::asciiLowercased(name);
    // Xcode's own folder is known by its path; everything named like a
    // build product needs the evidence its tool leaves.
    if (contains(path, "/Developer/Xcode/DerivedData")) return CleanupFinding::of(xcode);
    if (name == "node_modules") return nodeModules(parent);
    for (const auto& rule : markerRules) {
        if (name != rule.name) continue;
        const ScanNode* where = rule.place == MarkerPlace::beside ? parent : &node;
        for (std::string_view marker : rule.markers) {
            if (!marker.empty() && hasChild(where, marker))
                return CleanupFinding::of(rule.descriptor);
        }
    }
    std::optional<CleanupFinding> f;
    if (name == "__pycache__") f = compiledPython(node);
    if (!f && (lower == "coverage" || lower == "htmlcov")) f = coverage(node);
    if (!f && lower == "deriveddata") f = derivedDataByName(node);
    if (!f) f = virtualEnvironment(node, disk);
    if (!f) f = cmakeBuildTree(node, disk);
    if (f) return f;
    if (auto d = descriptor(path, name)) return CleanupFinding::of(*d);
    for (const auto& rule : toolchainRules) {
        if (contains(path, rule.fragment)) return CleanupFinding::of(rule.descriptor);
    }
    if (auto s = sandboxCache(path, places)) return s;
    const bool inCacheHome =
        !places.cacheHome.empty() && parent && parent->path() == places.cacheHome;
    if (inCacheHome) {
        for (const auto& c : cacheOwners) {
            if (name == c.name) {
                return CleanupFinding{std::string(c.owner), std::string(cacheReason),
                                      std::string(namedCacheEvidence), CleanupRisk::safe,
                                      std::string(c.regenerate)};
            }
        }
    }
    if (auto t = taggedCache(node, disk)) return t;
    if (inCacheHome) return CleanupFinding::of(userCache);
    return std::nullopt;
}

std::vector<CleanupCandidate> candidates(const ScanForest& forest, const HomePlaces& places,
                                         const KnownPaths& known, const DiskEvidence& disk) {
    return candidates(std::span<const ScanNode* const>(forest.nodes()), places, known, disk,
                      &forest.links());
}

std::vector<CleanupCandidate> candidates(const ScanForest& forest) {
    const auto home = platform::SpecialFolders::home();
    const HomePlaces places = home ? HomePlaces::of(*home) : HomePlaces{};
    return candidates(forest, places, LinuxApps::sandboxLeftovers(AppSources::forHome(places)));
}

std::vector<CleanupCandidate> candidates(std::span<const ScanNode* const> nodes,
                                         const HomePlaces& places, const KnownPaths& known,
                                         const DiskEvidence& disk, const HardLinks* links) {
    struct Found {
        CleanupCandidate candidate;
        std::size_t depth;
    };
    std::vector<Found> found;
    TrackedPaths tracked(disk);
    for (const ScanNode* node : nodes) {
        if (node->allocatedSize() <= minimumBytes) continue;
        const std::string path = node->path();
        std::optional<CleanupFinding> f;
        if (const auto k = known.find(path); k != known.end()) {
            f = CleanupFinding::of(k->second);
        } else {
            f = classify(*node, places, disk);
        }
        // Whatever git tracks is the user's work, not a product of it.
        if (!f || tracked.holdsTracked(path)) continue;
        CleanupCandidate c;
        c.id = path;
        c.title = std::string(node->name());
        c.url = c.id;
        // What moving it away frees: a file still named outside stays.
        c.bytes = links ? links->freedBy({&node, 1}) : node->allocatedSize();
        c.owner = std::move(f->owner);
        c.reason = std::move(f->reason);
        c.evidence = std::move(f->evidence);
        c.risk = f->risk;
        c.isDirectory = node->isDirectory();
        c.regenerate = std::move(f->regenerate);
        found.push_back({std::move(c), componentCount(path)});
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
