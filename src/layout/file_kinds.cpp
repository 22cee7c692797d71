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

Kind of(std::string_view fileName) {
    const std::string_view extension = Path::extension(fileName);
    if (extension.empty() || extension.size() > 8) return Kind::other;
    std::string lower(extension);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    }
    const auto it = table().find(lower);
    return it == table().end() ? Kind::other : it->second;
}

std::vector<Group> breakdown(const ScanNode* folder) {
    std::array<Group, kindCount> groups;
    for (std::size_t i = 0; i < kindCount; ++i)
        groups[i].kind = Kind(i);
    std::vector<const ScanNode*> stack;
    if (folder) stack.push_back(folder);
    while (!stack.empty()) {
        const ScanNode* n = stack.back();
        stack.pop_back();
        if (!n->isDirectory()) {
            Group& g = groups[std::size_t(of(n->name()))];
            g.bytes = addBytes(g.bytes, n->allocatedSize());
            ++g.count;
            SizeLeaders::insert(n, g.largest, largestPerKind);
            continue;
        }
        for (const ScanNode* c : n->children())
            stack.push_back(c);
    }
    std::vector<Group> out;
    for (auto& g : groups) {
        if (g.count > 0) out.push_back(std::move(g));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Group& a, const Group& b) { return a.bytes > b.bytes; });
    return out;
}

} // namespace tb::FileKinds
