// The newest modification time in each folder's subtree (the folder's own
// time, its files' and its folders', all levels), for every folder from a
// root down, in one pass. A side table: nodes keep only their own time.
// Pure; any thread, while the nodes' forest is alive. Iterative.
#pragma once

#include <unordered_map>

#include "base/date.h"
#include "scan/scan_node.h"

namespace tb::SubtreeTimes {

using Table = std::unordered_map<const ScanNode*, Date>;

// Nothing for a null root or a file.
Table newest(const ScanNode* root);
// The folder's time from the table, a file's own time (a folder missing
// from the table also answers with its own).
Date newestOf(const ScanNode& node, const Table& table);

} // namespace tb::SubtreeTimes
