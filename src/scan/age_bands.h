// Files grouped by how long ago they were modified. Stateless.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/date.h"
#include "scan/file_list.h"
#include "scan/scan_node.h"

namespace tb {

struct AgeBand {
    std::string id;    // "7d", "30d", "90d", "1y", "older"
    std::string label; // same as id
    std::int64_t bytes = 0;
    std::int64_t fileCount = 0;         // every file of the band
    std::vector<const ScanNode*> files; // the 40 largest, largest first

    bool operator==(const AgeBand&) const = default;
};

namespace AgeLayout {
inline const std::array<std::string, 5> keys = {"7d", "30d", "90d", "1y", "older"};
std::vector<AgeBand> bands(std::span<const ScanNode* const> files, Date now);
std::vector<AgeBand> bands(const FileList& files, Date now);
std::vector<AgeBand> bands(const ScanNode& node, Date now);
} // namespace AgeLayout

} // namespace tb
