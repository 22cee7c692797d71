// The walk's shared state: three small serialised objects. Each operation is
// short, never calls the file system and never takes another object's lock,
// so there is no lock order. Safe from any worker thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <stop_token>
#include <string_view>
#include <vector>

#include "platform/file_descriptor.h"
#include "scan/hard_links.h"
#include "scan/node_arena.h"
#include "scan/raw_entry.h"

namespace tb {

// A listed folder kept open while its subfolders wait, so that each of them
// is opened by name from it: paths of any length, and no link swapped in
// above a folder is ever followed. Counts itself in `openCount` while it
// lives.
class OpenDirectory {
public:
    OpenDirectory(platform::FileDescriptor fd, std::atomic<int>& openCount)
        : fd_(std::move(fd)), openCount_(openCount) {
        openCount_.fetch_add(1, std::memory_order_relaxed);
    }
    ~OpenDirectory() { openCount_.fetch_sub(1, std::memory_order_relaxed); }
    OpenDirectory(const OpenDirectory&) = delete;
    OpenDirectory& operator=(const OpenDirectory&) = delete;
    int fd() const { return fd_.get(); }

private:
    platform::FileDescriptor fd_;
    std::atomic<int>& openCount_;
};

// A listed folder whose subfolders are still being walked. The worker that
// finishes the last of them settles the folder's sizes on the spot and tells
// the folder above, so the tree is rolled up while it is walked rather than
// in a pass after it. Lives until the walk is over.
class PendingFolder {
public:
    PendingFolder(ScanNode* dir, PendingFolder* above, std::int64_t subfolders)
        : dir_(dir), above_(above), waiting_(subfolders) {}

    // One subfolder of `folder` (none: the root) is settled. Returns whether
    // the root has become settled by it.
    static bool oneDone(PendingFolder* folder);

private:
    ScanNode* const dir_;
    PendingFolder* const above_;
    std::atomic<std::int64_t> waiting_;
};

// One folder to list, the open parent to reach it from (none for the root,
// and for folders whose parent could not stay open) and the pending folder
// it counts in (none for the root).
struct WalkItem {
    ScanNode* dir = nullptr;
    std::shared_ptr<const OpenDirectory> parent;
    PendingFolder* owner = nullptr;
};

// Directories waiting to be listed (a stack: depth first in the large) and
// the number being listed. The walk is over when both are empty/zero.
class WalkQueue {
public:
    void push(WalkItem item);
    void pushMany(std::span<ScanNode* const> dirs,
                  const std::shared_ptr<const OpenDirectory>& parent, PendingFolder* owner);
    // The next directory (dir is nullptr when the walk is over or stopped).
    // Waits while other workers may still push work.
    WalkItem pop(std::stop_token stop);
    // Matches every directory that pop handed out.
    void finish();

private:
    std::mutex mutex_;
    std::condition_variable_any ready_;
    std::vector<WalkItem> pending_; // guarded by mutex_
    std::int64_t active_ = 0;       // guarded by mutex_
};

// Counts and the nodes gathered so far. Workers build nodes in arenas of
// their own and hand them over when they stop.
class NodeBag {
public:
    void ingest(std::int64_t entries, std::int64_t fileBytes);
    void markUnreadable();
    WalkProgress progress(std::string_view current);
    // A worker's nodes, and the names it listed of files with several.
    void deposit(NodeArena&& arena, std::vector<LinkedName>&& links);
    // Moves every deposited arena into `into`; returns every deposited name.
    std::vector<LinkedName> collect(NodeArena& into);
    std::int64_t unreadableCount();
    std::int64_t visitedCount();

private:
    std::mutex mutex_;
    std::int64_t visited_ = 0;      // guarded by mutex_
    std::int64_t unreadable_ = 0;   // guarded by mutex_
    std::int64_t scannedBytes_ = 0; // guarded by mutex_
    std::vector<NodeArena> arenas_; // guarded by mutex_
    std::vector<LinkedName> links_; // guarded by mutex_
};

// At most one progress report per interval for the whole walk; the first
// request is always allowed.
class ProgressGate {
public:
    bool allow(double intervalSeconds);

private:
    std::mutex mutex_;
    bool reported_ = false;                      // guarded by mutex_
    std::chrono::steady_clock::time_point last_; // guarded by mutex_
};

} // namespace tb
