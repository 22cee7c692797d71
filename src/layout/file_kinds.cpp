#include "layout/file_kinds.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "base/path.h"
#include "scan/byte_sum.h"
#include "scan/size_ranking.h"

namespace tb::FileKinds {
namespace {

struct Row {
    Kind kind;
    const char* extensions; // separated by spaces
};

constexpr Row rows[] = {
    {Kind::video, "mp4 mkv mov avi webm m4v wmv flv mpg mpeg 3gp"},
    {Kind::images,
     "jpg jpeg png gif webp heic heif tif tiff bmp svg raw cr2 nef arw dng psd xcf ico"},
    {Kind::audio, "mp3 flac wav ogg oga opus m4a aac wma aiff mid"},
    {Kind::archives,
     "zip tar gz tgz bz2 xz zst 7z rar deb rpm jar whl lz4 lzma cab apk snap flatpak"},
    {Kind::code,
     "c h cc cpp hpp cxx rs go py pyc js mjs cjs ts tsx jsx java class kt rb php sh pl lua "
     "swift cs o a so css scss html json yaml yml toml xml map wasm sql"},
    {Kind::documents, "pdf doc docx odt xls xlsx ods ppt pptx odp txt md rtf epub csv tex djvu"},
    {Kind::diskImages, "iso img qcow2 vdi vmdk vhd vhdx dmg squashfs"},
};

const std::unordered_map<std::string_view, Kind>& table() {
    static const auto* map = [] {
        auto* m = new std::unordered_map<std::string_view, Kind>;
        for (const Row& row : rows) {
            std::string_view list(row.extensions);
            while (!list.empty()) {
                const auto space = list.find(' ');
                m->try_emplace(list.substr(0, space), row.kind);
                list =
                    space == std::string_view::npos ? std::string_view{} : list.substr(space + 1);
            }
        }
        return m;
    }();
    return *map;
}

} // namespace

std::string_view title(Kind kind) {
    switch (kind) {
    case Kind::video: return "Video";
    case Kind::images: return "Images";
    case Kind::audio: return "Audio";
    case Kind::archives: return "Archives";
    case Kind::code: return "Code";
    case Kind::documents: return "Documents";
    case Kind::diskImages: return "Disk images";
    case Kind::other: return "Other";
    }
    return "Other";
}

std::string extensionOf(std::string_view fileName) {
    const std::string_view extension = Path::extension(fileName);
    if (extension.size() > 8) return {};
    std::string lower(extension);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    }
    return lower;
}

Kind of(std::string_view fileName) {
    // Called for every file of a tree: lowered in place, nothing allocated.
    const std::string_view extension = Path::extension(fileName);
    if (extension.empty() || extension.size() > 8) return Kind::other;
    char lower[8];
    for (std::size_t i = 0; i < extension.size(); ++i) {
        const char c = extension[i];
        lower[i] = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    }
    const auto it = table().find(std::string_view(lower, extension.size()));
    return it == table().end() ? Kind::other : it->second;
}

namespace {

std::vector<ExtensionRow> extensionRows(std::unordered_map<std::string, ExtensionRow>& seen,
                                        const ExtensionRow& untracked) {
    std::vector<ExtensionRow> list;
    list.reserve(seen.size());
    for (auto& [extension, row] : seen) {
        row.extension = extension;
        list.push_back(std::move(row));
    }
    std::sort(list.begin(), list.end(), [](const ExtensionRow& a, const ExtensionRow& b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.extension < b.extension;
    });
    ExtensionRow rest = untracked;
    if (list.size() > extensionsPerKind) {
        for (std::size_t i = extensionsPerKind; i < list.size(); ++i) {
            rest.bytes = addBytes(rest.bytes, list[i].bytes);
            rest.count += list[i].count;
            rest.rest = true;
        }
        list.resize(extensionsPerKind);
    }
    if (rest.count > 0) {
        rest.rest = true;
        list.push_back(std::move(rest));
    }
    return list;
}

} // namespace

std::vector<Group> breakdown(const ScanNode* folder) {
    std::array<Group, kindCount> groups;
    for (std::size_t i = 0; i < kindCount; ++i)
        groups[i].kind = Kind(i);
    std::array<std::unordered_map<std::string, ExtensionRow>, kindCount> extensions;
    std::array<ExtensionRow, kindCount> untracked;
    std::vector<const ScanNode*> stack;
    if (folder) stack.push_back(folder);
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        if (!n->isDirectory()) {
            std::string extension = extensionOf(n->name());
            const auto found = extension.empty() ? table().end() : table().find(extension);
            const auto kind = std::size_t(found == table().end() ? Kind::other : found->second);
            Group& g = groups[kind];
            g.bytes = addBytes(g.bytes, n->allocatedSize());
            ++g.count;
            SizeLeaders::insert(n, g.largest, largestPerKind);
            auto& seen = extensions[kind];
            auto row = seen.find(extension);
            if (row == seen.end() && seen.size() < extensionsTracked)
                row = seen.try_emplace(std::move(extension)).first;
            ExtensionRow& into = row == seen.end() ? untracked[kind] : row->second;
            into.bytes = addBytes(into.bytes, n->allocatedSize());
            ++into.count;
            continue;
        }
        for (const ScanNode* c : n->children())
            stack.push_back(c);
    }
    std::vector<Group> out;
    for (std::size_t i = 0; i < kindCount; ++i) {
        if (groups[i].count == 0) continue;
        groups[i].extensions = extensionRows(extensions[i], untracked[i]);
        out.push_back(std::move(groups[i]));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Group& a, const Group& b) { return a.bytes > b.bytes; });
    return out;
}

FolderKinds folderKinds(const ScanNode* root) {
    FolderKinds out;
    if (!root || !root->isDirectory()) return out;
    // Post-order: a folder's bytes per kind are complete when its last
    // child is done, and are then added to its parent's.
    struct Frame {
        const ScanNode* folder;
        std::size_t next = 0;
        std::array<std::int64_t, kindCount> bytes{};
    };
    std::vector<Frame> stack{{root}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        const auto children = top.folder->children();
        if (top.next < children.size()) {
            const ScanNode* child = children[top.next++];
            if (child->isDirectory()) {
                stack.push_back({child});
            } else {
                auto& b = top.bytes[std::size_t(of(child->name()))];
                b = addBytes(b, child->allocatedSize());
            }
            continue;
        }
        std::size_t best = std::size_t(Kind::other);
        std::int64_t most = 0;
        for (std::size_t k = 0; k < kindCount; ++k) {
            if (top.bytes[k] > most) {
                most = top.bytes[k];
                best = k;
            }
        }
        out.emplace(top.folder, Kind(best));
        const Frame done = top;
        stack.pop_back();
        if (!stack.empty()) {
            for (std::size_t k = 0; k < kindCount; ++k)
                stack.back().bytes[k] = addBytes(stack.back().bytes[k], done.bytes[k]);
        }
    }
    return out;
}

Kind kindOf(const ScanNode& node, const FolderKinds& folders) {
    if (!node.isDirectory()) return of(node.name());
    const auto it = folders.find(&node);
    return it == folders.end() ? Kind::other : it->second;
}

} // namespace tb::FileKinds
