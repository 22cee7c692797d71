// The files below a folder grouped by kind (video, images, audio, archives,
// code, documents, disk images, other) from their extension, with bytes,
// counts, the extensions and the largest files of each kind; and the kind
// that holds most of each folder's bytes, for the maps' colours. Pure; any
// thread, while the nodes' forest is alive. Iterative over the tree.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scan/scan_node.h"

namespace tb::FileKinds {

enum class Kind { video, images, audio, archives, code, documents, diskImages, other };
inline constexpr std::size_t kindCount = 8;
inline constexpr int largestPerKind = 40;
// Rows of extensions per kind; the smaller ones are summed in one last row.
inline constexpr std::size_t extensionsPerKind = 24;
// Distinct extensions told apart per kind: a tree of random names cannot
// make the count cost more than this; later ones join the summed row.
inline constexpr std::size_t extensionsTracked = 4096;

struct ExtensionRow {
    std::string extension; // lower case, without the dot; empty: none
    std::int64_t bytes = 0;
    std::int64_t count = 0;
    bool rest = false; // the sum of the smaller extensions
    bool operator==(const ExtensionRow&) const = default;
};

struct Group {
    Kind kind = Kind::other;
    std::int64_t bytes = 0;
    std::int64_t count = 0;
    std::vector<const ScanNode*> largest; // largest first, at most largestPerKind
    // Largest first (equal bytes by name), the summed rest last.
    std::vector<ExtensionRow> extensions;
};

// Each folder's kind: the one with the most bytes among the files below it
// (the first kind of equals); `other` for a folder without files.
using FolderKinds = std::unordered_map<const ScanNode*, Kind>;

std::string_view title(Kind kind); // "Video", "Images", …, "Disk images", "Other"
// By the extension after the last dot, without regard to ASCII case.
Kind of(std::string_view fileName);
// The extension as grouped: lower case, empty when none or longer than eight
// bytes (then it is no known kind's).
std::string extensionOf(std::string_view fileName);
// The kinds that hold any file, largest first (by bytes; equal bytes keep
// the kinds' order).
std::vector<Group> breakdown(const ScanNode* folder);
// Every folder from `root` down, in one pass; a file's kind is `of(name)`.
FolderKinds folderKinds(const ScanNode* root);
// The folder's kind from the table, the file's from its name; `other` for
// a node the table does not hold.
Kind kindOf(const ScanNode& node, const FolderKinds& folders);

} // namespace tb::FileKinds
