// How many scans of each folder the store keeps, and which scans are pinned
// (never removed). The choice lives in a small file of the store folder, so
// that every program saving into the store prunes it alike. Pruning follows
// a save: the scans of the saved root beyond the newest `keepPerFolder` go,
// except pinned ones and the files the caller spares (the scan on display).
// Stateless; any thread. Two programs writing the choice at once: the last
// rename wins.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/uuid.h"
#include "store/scan_record.h"

namespace tb {

struct RetentionPolicy {
    static constexpr int kDefaultKeep = 5;
    std::optional<int> keepPerFolder = kDefaultKeep; // nothing: every scan stays
    std::set<Uuid> pinned;

    bool isPinned(const Uuid& id) const { return pinned.contains(id); }
    bool operator==(const RetentionPolicy&) const = default;
};

namespace ScanRetention {

// Hidden and not a ".sqlite" name: the history never lists it.
inline constexpr std::string_view kPolicyFile = ".tarnbeck-retention";
inline constexpr int kMaxKeep = 999;

// The store's choice; the default (5, nothing pinned) when the file is
// missing, unreadable or not a plain file. Unknown lines are skipped; a
// count out of 1...kMaxKeep keeps the default.
RetentionPolicy read(const std::string& storeDirectory);
// Written whole under a new name and renamed over the old file.
Status write(const std::string& storeDirectory, const RetentionPolicy& policy);

// The records of `history` (newest first, as ScanStore lists it) that a save
// of `root` on `host` (empty: this machine) makes surplus: the scans of
// exactly that root past the newest `keepPerFolder`, less the pinned ones
// and those whose file is in `spared`.
std::vector<ScanRecord> surplus(const std::vector<ScanRecord>& history, const std::string& root,
                                const RetentionPolicy& policy,
                                const std::vector<std::string>& spared,
                                const std::string& host = {});

// Deletes one scan of the store for good: its "<UUID>.sqlite" file with its
// "-wal" and "-shm" files, each only when it is a regular file directly in
// `storeDirectory` (never through a link). A record whose file lies
// elsewhere or is not named after its id is refused.
Status remove(const std::string& storeDirectory, const ScanRecord& record);

// After a save of `saved` into the store: lists the store, reads its choice
// and removes the surplus of that root, `saved` and `spared` excepted.
// Returns the scans removed.
std::vector<ScanRecord> pruneAfterSave(const std::string& storeDirectory, const ScanRecord& saved,
                                       std::vector<std::string> spared = {});

} // namespace ScanRetention
} // namespace tb
