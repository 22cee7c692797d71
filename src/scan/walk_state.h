// The walk's shared state: three small serialised objects. Each operation is
// short, never calls the file system and never takes another object's lock,
// so there is no lock order. Safe from any worker thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <stop_token>
#include <string_view>
#include <vector>

#include "scan/node_arena.h"
#include "scan/raw_entry.h"

namespace tb {

// Directories waiting to be listed (a stack: depth first in the large) and
// the number being listed. The walk is over when both are empty/zero.
class WalkQueue {
public:
    void push(ScanNode* dir);
    void pushMany(std::span<ScanNode* const> dirs);
    // The next directory, or nullptr when the walk is over or stopped.
    // Waits while other workers may still push work.
    ScanNode* pop(std::stop_token stop);
    // Matches every directory that pop handed out.
    void finish();

private:
    std::mutex mutex_;
    std::condition_variable_any ready_;
    std::vector<ScanNode*> pending_;  // guarded by mutex_
    std::int64_t active_ = 0;         // guarded by mutex_
};

// Counts and the nodes gathered so far. Workers build nodes in arenas of
// their own and hand them over when they stop.
class NodeBag {
public:
    void ingest(std::int64_t entries, std::int64_t fileBytes);
    void markUnreadable();
    WalkProgress progress(std::string_view current);
    void deposit(NodeArena&& arena);
    // Moves every deposited arena into `into`.
    void collect(NodeArena& into);
    std::int64_t unreadableCount();
    std::int64_t visitedCount();

private:
    std::mutex mutex_;
    std::int64_t visited_ = 0;       // guarded by mutex_
    std::int64_t unreadable_ = 0;    // guarded by mutex_
    std::int64_t scannedBytes_ = 0;  // guarded by mutex_
    std::vector<NodeArena> arenas_;  // guarded by mutex_
};

// At most one progress report per interval for the whole walk; the first
// request is always allowed.
class ProgressGate {
public:
    bool allow(double intervalSeconds);

private:
    std::mutex mutex_;
    bool reported_ = false;                       // guarded by mutex_
    std::chrono::steady_clock::time_point last_;  // guarded by mutex_
};

} // namespace tb
