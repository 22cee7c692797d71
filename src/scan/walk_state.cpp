#include "scan/walk_state.h"

#include "scan/byte_sum.h"

namespace tb {

namespace {
// More than any walk has workers.
constexpr std::size_t kMostWakeUps = 64;
} // namespace

void WalkQueue::push(WalkItem item) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(item));
    }
    ready_.notify_one();
}

bool PendingFolder::oneDone(PendingFolder* folder) {
    // The last count to go settles the folder; acquire-release orders every
    // subfolder's settling before it. Iterative: a deep chain settles at once.
    for (; folder; folder = folder->above_) {
        if (folder->waiting_.fetch_sub(1, std::memory_order_acq_rel) != 1) return false;
        folder->dir_->settle();
    }
    return true;
}

void WalkQueue::pushMany(std::span<ScanNode* const> dirs,
                         const std::shared_ptr<const OpenDirectory>& parent, PendingFolder* owner) {
    if (dirs.empty()) return;
    {
        std::lock_guard lock(mutex_);
        for (ScanNode* d : dirs)
            pending_.push_back({d, parent, owner});
    }
    // One wake-up per folder: waking every idle worker for two folders
    // sends the rest back to sleep through the same lock.
    for (std::size_t i = 0; i < dirs.size() && i < kMostWakeUps; ++i)
        ready_.notify_one();
}

WalkItem WalkQueue::pop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, stop, [this] { return !pending_.empty() || active_ == 0; });
    if (stop.stop_requested() || pending_.empty()) return {};
    WalkItem item = std::move(pending_.back());
    pending_.pop_back();
    ++active_;
    return item;
}

void WalkQueue::finish() {
    bool drained;
    {
        std::lock_guard lock(mutex_);
        if (active_ > 0) --active_;
        drained = active_ == 0 && pending_.empty();
    }
    // The last worker out wakes every idle one so that it sees the end.
    if (drained) ready_.notify_all();
}

void NodeBag::ingest(std::int64_t entries, std::int64_t fileBytes) {
    std::lock_guard lock(mutex_);
    visited_ += entries;
    scannedBytes_ = addBytes(scannedBytes_, fileBytes);
}

void NodeBag::markUnreadable() {
    std::lock_guard lock(mutex_);
    ++unreadable_;
    ++visited_;
}

WalkProgress NodeBag::progress(std::string_view current) {
    std::lock_guard lock(mutex_);
    return WalkProgress{visited_, unreadable_, scannedBytes_, std::string(current)};
}

void NodeBag::deposit(NodeArena&& arena, std::vector<LinkedName>&& links) {
    std::lock_guard lock(mutex_);
    arenas_.push_back(std::move(arena));
    links_.insert(links_.end(), links.begin(), links.end());
}

std::vector<LinkedName> NodeBag::collect(NodeArena& into) {
    std::lock_guard lock(mutex_);
    for (auto& a : arenas_)
        into.adopt(std::move(a));
    arenas_.clear();
    return std::move(links_);
}

std::int64_t NodeBag::unreadableCount() {
    std::lock_guard lock(mutex_);
    return unreadable_;
}

std::int64_t NodeBag::visitedCount() {
    std::lock_guard lock(mutex_);
    return visited_;
}

bool ProgressGate::allow(double intervalSeconds) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    if (reported_ && std::chrono::duration<double>(now - last_).count() < intervalSeconds) {
        return false;
    }
    reported_ = true;
    last_ = now;
    return true;
}

} // namespace tb
