// The files below a folder grouped by kind (video, images, audio, archives,
// code, documents, disk images, other) from their extension, with bytes,
// counts and the largest files of each kind. Pure; any thread, while the
// nodes' forest is alive. Iterative over the tree.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "scan/scan_node.h"

namespace tb::FileKinds {

enum class Kind { video, images, audio, archives, code, documents, diskImages, other };
inline constexpr std::size_t kindCount = 8;
inline constexpr int largestPerKind = 40;

struct Group {
    Kind kind = Kind::other;
    std::int64_t bytes = 0;
    std::int64_t count = 0;
    std::vector<const ScanNode*> largest; // largest first, at most largestPerKind
};

std::string_view title(Kind kind); // "Video", "Images", …, "Disk images", "Other"
// By the extension after the last dot, without regard to ASCII case.
Kind of(std::string_view fileName);
// The kinds that hold any file, largest first (by bytes; equal bytes keep
// the kinds' order).
std::vector<Group> breakdown(const ScanNode* folder);

} // namespace tb::FileKinds
