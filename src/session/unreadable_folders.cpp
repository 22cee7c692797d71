#include "session/unreadable_folders.h"

#include "platform/file_system.h"
#include "scan/scan_forest.h"

namespace tb {

std::vector<UnreadableFolder> unreadableFolders(const ScanForest& forest, std::size_t limit) {
    std::vector<UnreadableFolder> out;
    for (const ScanNode* node : forest.nodes()) {
        if (out.size() >= limit) break;
        if (!node->unreadable()) continue;
        std::string path(node->path());
        // The walk keeps no reason; the folder is asked again, and may have
        // changed since.
        const Status now = platform::FileSystem::openableFolder(path);
        out.push_back(
            {std::move(path), now ? std::string("It can be read now; scan again to count it")
                                  : now.error().message});
    }
    return out;
}

} // namespace tb
