#include "analysis/node_advice.h"

#include <optional>
#include <string>

#include "analysis/cleanup_evidence.h"
#include "analysis/protected_paths.h"
#include "platform/extent_reader.h"
#include "platform/file_system.h"
#include "scan/scan_node.h"

namespace tb {
namespace {

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// Names are bytes: only ASCII letters fold, as the name rules only name ASCII.
std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return out;
}

std::optional<NodeKind> kindFromPath(std::string_view path, std::string_view name) {
    if (name == "docker.raw") return NodeKind::dockerRaw;
    if (contains(path, "/com.docker.docker/") && endsWith(name, ".raw")) return NodeKind::dockerRaw;
    if (endsWith(name, ".gguf")) return NodeKind::weights;
    if (contains(path, "/.ollama/")) return NodeKind::weights;
    if (contains(path, "/huggingface/")) return NodeKind::weights;
    if (contains(path, "/hub/") && endsWith(name, ".safetensors")) return NodeKind::weights;
    if (contains(path, "/Developer/Xcode/DerivedData")) return NodeKind::derivedData;
    return std::nullopt;
}

} // namespace

namespace NodeAdvice {

// ext4 and btrfs keep at most a few KiB of data inside the inode.
constexpr std::int64_t inlineLimit = 4096;

NodeKind kind(const ScanNode& node, const platform::ExtentReader& extents) {
    if (auto k = kindFromPath(node.path(), asciiLower(node.name()))) return *k;
    if (node.isDirectory()) return NodeKind::ordinary;
    const auto logical = node.logicalSize();
    const auto allocated = node.allocatedSize();
    if (logical < 1) return NodeKind::ordinary;
    const std::string path(node.path());
    // A core file is written with holes where memory was never touched; it
    // is not a disk image whose owner could prune it.
    if (CleanupEvidence::hasCoreName(node.name())) {
        const auto head = platform::FileSystem::readHead(path, 64);
        if (head && CleanupEvidence::isElfCore(*head)) return NodeKind::coreDump;
    }
    // Fewer blocks than bytes is a hole or compression; only a hole makes a
    // sparse file. Where the file cannot be asked, the sizes decide.
    const auto holed = [&] { return extents.hasHoles(path).value_or(true); };
    // No blocks at all: a tiny file kept inside its inode, or all hole.
    if (allocated < 1) {
        return logical > inlineLimit && holed() ? NodeKind::sparseDisk : NodeKind::ordinary;
    }
    // A reflink copy reports its full size as allocated, so the sizes alone
    // never show sharing.
    if (extents.hasSharedExtents(path).value_or(false)) return NodeKind::apfsClone;
    if (logical > allocated && holed()) return NodeKind::sparseDisk;
    return NodeKind::ordinary;
}

std::string_view why(const ScanNode& node, const platform::ExtentReader& extents) {
    switch (kind(node, extents)) {
    case NodeKind::derivedData:
        return "Xcode build products. Safe to stage. The next build will be slower while they "
               "regenerate.";
    case NodeKind::weights:
        return "Local model weights. Safe to stage if you can download them again.";
    case NodeKind::dockerRaw:
        return "Docker\xE2\x80\x99s VM disk. It does not shrink when you delete images inside "
               "Docker. Prune or resize the disk in Docker Desktop; staging Docker.raw is a last "
               "resort.";
    case NodeKind::sparseDisk:
        return "Sparse file. Logical size can dwarf the blocks it occupies. Prune inside the app "
               "that owns it before staging the file.";
    case NodeKind::apfsClone:
        return "Shares blocks with another file (a copy or a snapshot). Staging this may free "
               "less than its allocated size.";
    case NodeKind::coreDump:
        return "Core dump of a crashed program. Useful only to debug that crash; nothing "
               "regenerates it.";
    case NodeKind::ordinary: break;
    }
    if (ProtectedPaths::isProtected(node.url())) return "System path. It cannot be staged.";
    if (node.isDirectory()) return "Folder size is the sum of its children on this scan.";
    return "Allocated size is what this file occupies on disk.";
}

bool isSparseDisk(const ScanNode& node, const platform::ExtentReader& extents) {
    const auto k = kind(node, extents);
    return k == NodeKind::sparseDisk || k == NodeKind::dockerRaw;
}

} // namespace NodeAdvice

} // namespace tb
