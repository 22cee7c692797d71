// Every finished scan as its own SQLite file in one per-user directory: writing
// a forest, reading a tree back, listing the history and searching one file.
// No state: every call opens its own connection and closes it before
// returning, so any thread may call any operation (save, load and search are
// meant for background tasks).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"
#include "scan/node_arena.h"
#include "scan/scan_forest.h"
#include "store/scan_record.h"

namespace tb {

struct StoredHit {
    std::string name;
    std::string path;
    std::int64_t allocatedSize = 0; // hits come largest first
    bool operator==(const StoredHit&) const = default;
};

namespace ScanStore {

// $XDG_DATA_HOME/Tarnbeck/scans (or the temporary folder without a home),
// created on every call; a failure to create it is ignored.
std::string directory();

// Writes the forest into a new "<UUID>.sqlite" file in `directory()`. `root` is
// the scan root the user chose (the `root` meta value and the record's
// rootPath). Errors: domain "ScanStore", code 1 (open), code 2 (statement).
Result<ScanRecord> save(const ScanForest& forest, const std::string& root);
// The same into a given store directory (which must exist). A stop request
// ends the save part way with an error, and nothing of it stays.
Result<ScanRecord> saveIn(const std::string& storeDirectory, const ScanForest& forest,
                          const std::string& root, std::stop_token stop = {});

// The name with which a hidden staging folder for a save begins (followed by
// six random characters). In the store directory, the history listing
// removes such folders once no save holds their lock
// (platform::FileSystem::createLockedFolder).
inline constexpr std::string_view kStagingPrefix = ".tarnbeck-saving-";

// The tree stored in record.fileURL, rooted at the file's `root` meta value
// (else record.rootPath); nothing when the file cannot be read or holds no
// row for the root. Sibling order is unspecified until a ScanForest sorts it.
std::optional<NodeTree> load(const ScanRecord& record);
// Hands over each row of a file this store wrote, in its order (the root
// first, then paths in byte order), without building a tree; a row's texts
// last until the next. A file in any other order (not written by this store)
// stops the walk part way as notInStoreOrder: only `load` reads it whole.
enum class StoredRows { read, notInStoreOrder, unreadable };
StoredRows visitRows(const ScanRecord& record, const std::function<void(const NodeFields&)>& visit);
// The stored scan as a forest with the record's unreadable count and
// context and the stored `visited` count (without that row, the entries the
// file holds plus the unreadable folders).
std::optional<ScanForest> reopen(const ScanRecord& record);

// Whether the file opens as a scan with a row for its root, from the root's
// row alone: a check before opening, at the cost of a few pages, not of the
// tree.
bool holdsRoot(const ScanRecord& record);

// All stored scans, newest first.
std::vector<ScanRecord> history();
std::vector<ScanRecord> historyIn(const std::string& storeDirectory);
// The record of one scan file; nothing when it cannot be opened.
std::optional<ScanRecord> record(const std::string& file);

// Rows whose name or path contains the query (ASCII case folded by SQLite's
// LIKE), largest first; "%" and "_" are removed from the query first. A stop
// request ends the search part way with no hits.
std::vector<StoredHit> search(const ScanRecord& record, const std::string& query, int limit = 24,
                              std::stop_token stop = {});

} // namespace ScanStore
} // namespace tb
