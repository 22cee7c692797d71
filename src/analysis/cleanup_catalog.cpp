#include "analysis/cleanup_catalog.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "analysis/text.h"
#include "base/path.h"
#include "scan/scan_forest.h"

namespace tb::CleanupCatalog {
namespace {

constexpr CleanupDescriptor xcode{
    "Xcode", "Build products can be regenerated on the next build.",
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
    "macOS app cache", "Caches are normally rebuilt by the owning app.",
    "Path is inside the user's cache directory.", CleanupRisk::review};

constexpr std::string_view generatedNames[] = {"node_modules", ".build", "deriveddata",
                                               "__pycache__", "coverage"};

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
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

std::vector<CleanupCandidate> candidates(const ScanForest& forest) {
    return candidates(std::span<const ScanNode* const>(forest.nodes()));
}

std::vector<CleanupCandidate> candidates(std::span<const ScanNode* const> nodes) {
    struct Found {
        CleanupCandidate candidate;
        std::size_t depth;
    };
    std::vector<Found> found;
    for (const ScanNode* node : nodes) {
        if (!node->isDirectory() || node->allocatedSize() <= minimumBytes) continue;
        const auto d = descriptor(node->path(), node->name());
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
        c.isDirectory = true;
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
