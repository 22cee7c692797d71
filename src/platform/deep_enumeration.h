// Deep enumeration of a folder for size probes: every item below it, hidden
// ones included, symbolic links never followed, other mounts listed but not
// entered. Any thread; no state. The depth is the file system's to choose,
// so the walk keeps its own stack.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tb::platform {

struct EnumeratedItem {
    std::string_view path; // valid during the call only
    bool isDirectory = false;
    // blocks * 512 of the item itself; none when its values could not be read
    std::optional<std::int64_t> totalAllocated;
};

namespace DeepEnumeration {

// Calls `visit` for each item below `root` (not `root` itself) until it
// returns false or `stop` is requested. A folder below that cannot be listed
// is visited but contributes no children. False when `root` cannot be opened
// as a folder (a final link at `root` itself is followed, as a path is).
bool enumerate(const std::string& root, const std::function<bool(const EnumeratedItem&)>& visit,
               std::stop_token stop = {});

} // namespace DeepEnumeration

} // namespace tb::platform
