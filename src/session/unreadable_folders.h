// The folders a scan could not read, as the volume bar's warning names them:
// the first few, each with the reason it cannot be read now. Any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tb {

class ScanForest;

struct UnreadableFolder {
    std::string path;
    std::string reason; // "Permission denied", or that it reads now
};

// At most `limit` of them, in the forest's order (largest branches first);
// asks the file system only about those it returns.
std::vector<UnreadableFolder> unreadableFolders(const ScanForest& forest, std::size_t limit);

} // namespace tb
