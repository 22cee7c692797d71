// An item's life in the review queue:
//
//   stage ──admission──▶ queued ──trashAll: exists, not protected, unchanged,
//                          │  ▲              and the Trash took it──▶ moved (receipt)
//                          │  └── any check or the move failed: kept (failed receipt)
//                          └── remove / absorbed by a parent queued later ──▶ gone
//   moved ──restore succeeded──▶ restored (receipt dropped, not queued again)
//   moved ──restore refused────▶ moved (receipt kept)
//
// Nodes chosen in the tree may skip the queue (select, then trash): the
// same admission, recheck, move and receipts, and a queued item among them
// or inside one leaves the queue with it. The successful receipts of the
// latest move, from the queue or not, are what undoLastMove puts back.
//
// Admission refuses, besides system paths, the scanned folder, the home
// folder, folders holding it, a system path or the Trash, and what already
// lies in a Trash. Receipts of moves outlive the process in the receipt file
// while their items stay in the Trash; other instances share that file, so
// each write merges by receipt id with what they wrote.
//
// Invariants: no two queued items are the same path or one inside the other;
// an item leaves the queue only by removal, absorption or a move that the
// Trash confirmed; a kept item keeps its queued state, so one that changed
// keeps failing until it is queued again from a new scan.
#include "review/staging_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <utility>

#include "analysis/node_advice.h"
#include "analysis/protected_paths.h"
#include "base/count_text.h"
#include "base/path.h"
#include "platform/file_system.h"
#include "scan/byte_sum.h"
#include "scan/forest_edit.h"
#include "review/receipt_log.h"
#include "scan/scan_node.h"

namespace tb {
namespace {

constexpr const char* kUnsafePath = "System paths cannot be staged.";
constexpr const char* kUnsafeCandidate =
    "This path is no longer safe to stage. Scan it again before reviewing it.";
constexpr const char* kGoneAtAdmission =
    "This item no longer exists. Scan again before staging it.";
constexpr const char* kParentQueued = "A parent folder is already in the review queue.";
constexpr const char* kVanished = "The path is no longer available. Scan again before retrying.";
constexpr const char* kProtected = "Protected system paths cannot be moved to Trash.";
constexpr const char* kChanged =
    "The item changed since it was staged. Scan it again before retrying.";
constexpr const char* kMoved = "Moved to Trash.";
constexpr const char* kScanRoot =
    "The scanned folder itself cannot be staged. Stage the items inside it instead.";
constexpr const char* kHome = "Your home folder cannot be staged.";
constexpr const char* kHoldsHome = "This folder holds your home folder, so it cannot be staged.";
constexpr const char* kHoldsSystem = "This folder holds system paths, so it cannot be staged.";
constexpr const char* kHoldsTrash = "This folder holds your Trash, so it cannot be staged.";
constexpr const char* kInTrash =
    "This item is already in a Trash. Empty the Trash to free its space.";

bool strictlyInside(const std::string& path, const std::string& folder) {
    return path != folder && Path::isSameOrInside(path, folder);
}

// A receipt or message must never be empty, whatever the platform said.
std::string describe(const Error& error) {
    if (!error.message.empty()) return error.message;
    if (error.code != 0) return std::strerror(error.code);
    return "The operation failed.";
}

OperationReceipt receiptFor(const StagedItem& item, bool succeeded, std::string message,
                            std::optional<std::string> trashedURL = std::nullopt) {
    return OperationReceipt{Uuid::random(), item.name, item.url,           std::move(trashedURL),
                            item.bytes,     succeeded, std::move(message), Date::now()};
}

StagedItem itemWithCurrentState(const std::string& url, std::string name, std::int64_t bytes,
                                std::string reason) {
    StagedItem item{url, url, std::move(name), bytes, std::move(reason)};
    if (auto v = platform::FileSystem::values(url)) {
        item.inode = v->identity;
        item.logicalBytes = v->size;
        item.modified = v->modified;
    }
    return item;
}

} // namespace

StagingStore::StagingStore(std::shared_ptr<platform::Trash> trash, QObject* parent)
    : QObject(parent), trash_(trash ? std::move(trash) : platform::systemTrash()) {}

std::int64_t StagingStore::totalBytes() const {
    std::int64_t total = 0;
    for (const auto& item : items_)
        total += item.bytes;
    return total;
}

std::int64_t StagingStore::freesAbout() const {
    if (!forest_) return totalBytes();
    std::vector<const ScanNode*> inScan;
    std::int64_t elsewhere = 0;
    for (const auto& item : items_) {
        if (const ScanNode* n = ForestEdit::nodeAt(*forest_, item.url)) {
            inScan.push_back(n);
        } else {
            elsewhere = addBytes(elsewhere, item.bytes);
        }
    }
    return addBytes(forest_->links().freedBy(inScan), elsewhere);
}

void StagingStore::setForest(ScanForest forest) {
    forest_ = std::move(forest);
}

void StagingStore::stage(const ScanNode& node) {
    if (!admit(node.url(), kUnsafePath)) return;
    append(itemFor(node));
}

StagedItem StagingStore::itemFor(const ScanNode& node) const {
    const std::string url(node.url());
    // A name counted under another shows 0 bytes; the recheck still wants
    // the file's length.
    std::int64_t logical = node.logicalSize();
    if (forest_) {
        if (const auto* file = forest_->links().file(&node)) logical = file->logicalSize;
    }
    return StagedItem{url,
                      url,
                      std::string(node.name()),
                      node.allocatedSize(),
                      std::string(NodeAdvice::why(node)),
                      node.inode(),
                      logical,
                      node.modified()};
}

StagingStore::Selection StagingStore::select(std::span<const ScanNode* const> nodes) const {
    Selection selection;
    std::vector<const ScanNode*> admitted;
    for (const ScanNode* node : nodes) {
        if (!node || std::find(admitted.begin(), admitted.end(), node) != admitted.end()) continue;
        if (auto why = admissionRefusal(node->url(), kUnsafePath)) {
            if (!selection.refused) selection.refused = std::move(*why);
            continue;
        }
        admitted.push_back(node);
    }
    // One inside another goes with the folder holding it.
    const std::unordered_set<const ScanNode*> chosen(admitted.begin(), admitted.end());
    for (const ScanNode* node : admitted) {
        bool inside = false;
        for (const ScanNode* p = node->parent(); p && !inside; p = p->parent())
            inside = chosen.count(p) > 0;
        if (inside) continue;
        selection.nodes.push_back(node);
        selection.items.push_back(itemFor(*node));
        selection.bytes = addBytes(selection.bytes, selection.items.back().bytes);
    }
    selection.frees = forest_ ? forest_->links().freedBy(selection.nodes) : selection.bytes;
    return selection;
}

void StagingStore::trash(const Selection& selection) {
    if (selection.items.empty()) {
        if (selection.refused) setLastMessage(*selection.refused);
        return;
    }
    const auto outcome = move(selection.items);
    // What the queue held of what left is gone with it.
    std::vector<StagedItem> items;
    for (const auto& queued : items_) {
        const std::string q = Path::standardized(queued.url);
        const bool left =
            std::any_of(outcome.moved.begin(), outcome.moved.end(), [&](const OperationReceipt& r) {
                return Path::isSameOrInside(q, Path::standardized(r.originalURL));
            });
        if (!left) items.push_back(queued);
    }
    if (items != items_) setItems(std::move(items));
    finishMove(outcome, outcome.kept.size());
}

void StagingStore::stage(const CleanupCandidate& candidate) {
    if (!admit(candidate.url, kUnsafeCandidate)) return;
    append(itemWithCurrentState(candidate.url, candidate.title, candidate.bytes,
                                candidate.owner + ": " + candidate.reason));
}

void StagingStore::stage(const std::string& url, const std::string& name, std::int64_t bytes,
                         const std::string& reason) {
    if (!admit(url, kUnsafePath)) return;
    append(itemWithCurrentState(url, name, bytes, reason));
}

// Admission up to the point where the new item is built: false when it must
// not enter. Children of the new item are absorbed here.
bool StagingStore::admit(const std::string& url, const char* unsafeMessage) {
    if (auto why = admissionRefusal(url, unsafeMessage)) {
        setLastMessage(std::move(*why));
        return false;
    }
    // Compared standardised, so "/a/" cannot enter beside "/a" and be moved twice.
    const std::string p = Path::standardized(url);
    for (const auto& item : items_) {
        if (Path::standardized(item.url) == p) return false;
    }
    for (const auto& item : items_) {
        if (strictlyInside(p, Path::standardized(item.url))) {
            setLastMessage(kParentQueued);
            return false;
        }
    }
    std::vector<StagedItem> kept;
    for (const auto& item : items_) {
        if (!strictlyInside(Path::standardized(item.url), p)) kept.push_back(item);
    }
    if (kept.size() != items_.size()) items_ = std::move(kept); // signalled by append
    return true;
}

std::optional<std::string> StagingStore::admissionRefusal(const std::string& url,
                                                          const char* unsafeMessage) const {
    // Its paths name another machine's files; the same path here is another file.
    if (forest_ && forest_->context().isRemote()) return std::string(kOtherMachine);
    if (!ProtectedPaths::isSafeSelection(url)) {
        // A vanished item is no system path; saying so would mislead.
        const bool vanished = !platform::FileSystem::exists(url).exists;
        return vanished && unsafeMessage == kUnsafePath ? kGoneAtAdmission : unsafeMessage;
    }
    return refusal(url);
}

std::optional<std::string> StagingStore::refusal(std::string_view url) const {
    if (forest_ && forest_->context().isRemote()) return std::string(kOtherMachine);
    const std::string path = ProtectedPaths::resolvedPath(url);
    auto resolvedOrEmpty = [](const std::optional<std::string>& p) {
        return p && !p->empty() ? ProtectedPaths::resolvedPath(*p) : std::string();
    };
    const std::string home = resolvedOrEmpty(platform::SpecialFolders::home());
    const std::string data = resolvedOrEmpty(platform::SpecialFolders::userData());
    if (!scanRoot_.empty() && path == ProtectedPaths::resolvedPath(scanRoot_)) return kScanRoot;
    if (!home.empty() && path == home) return kHome;
    if (!home.empty() && Path::isSameOrInside(home, path)) return kHoldsHome;
    if (ProtectedPaths::holdsProtectedPath(path)) return kHoldsSystem;
    // The home Trash may be a link to another disk: the link and where it
    // leads are both the Trash.
    std::vector<std::string> trashRoots;
    if (!data.empty()) {
        trashRoots = {data + "/Trash", platform::FileSystem::resolved(data + "/Trash")};
    }
    if (ProtectedPaths::isInsideTrash(path, {})) return kInTrash;
    for (const auto& root : trashRoots) {
        if (ProtectedPaths::isInsideTrash(path, root)) return kInTrash;
    }
    for (const auto& root : trashRoots) {
        if (Path::isSameOrInside(root, path)) return kHoldsTrash;
    }
    return std::nullopt;
}

void StagingStore::append(StagedItem item) {
    auto items = items_;
    items.push_back(std::move(item));
    setItems(std::move(items));
}

bool StagingStore::isStaged(std::string_view url) const {
    const std::string p = Path::standardized(url);
    return std::any_of(items_.begin(), items_.end(),
                       [&](const StagedItem& item) { return Path::standardized(item.url) == p; });
}

void StagingStore::remove(const StagedItem& item) {
    auto items = items_;
    const auto removed = std::erase_if(items, [&](const StagedItem& i) { return i.id == item.id; });
    if (removed > 0) setItems(std::move(items));
}

bool StagingStore::matchesExpectedState(const StagedItem& item) {
    const auto current = platform::FileSystem::values(item.url);
    if (item.inode != 0 && (!current || current->identity != item.inode)) return false;
    // Linux reports a folder entry's own size (4096 on ext4), never the sum of
    // its contents that a folder queued from the tree carries: files only.
    const bool isFolder = current && current->isDirectory;
    if (item.logicalBytes >= 1 && !isFolder) {
        if (!current || current->size != item.logicalBytes) return false;
    }
    const Date modified = current ? current->modified : Date::distantPast();
    return std::fabs(modified.secondsSince(item.modified)) < 0.001;
}

StagingStore::MoveOutcome StagingStore::move(const std::vector<StagedItem>& items) {
    MoveOutcome outcome;
    for (const auto& item : items) {
        if (!platform::FileSystem::exists(item.url).exists) {
            outcome.receipts.push_back(receiptFor(item, false, kVanished));
        } else if (ProtectedPaths::isProtectedResolvedPath(
                       ProtectedPaths::resolvedPath(item.url))) {
            outcome.receipts.push_back(receiptFor(item, false, kProtected));
        } else if (!matchesExpectedState(item)) {
            outcome.receipts.push_back(receiptFor(item, false, kChanged));
        } else if (auto trashed = trash_->moveToTrash(item.url)) {
            outcome.receipts.push_back(receiptFor(item, true, kMoved, *trashed));
            outcome.moved.push_back(outcome.receipts.back());
            continue;
        } else {
            // The receipt carries the description; the summary below takes
            // the place of lastMessage at once.
            outcome.receipts.push_back(receiptFor(item, false, describe(trashed.error())));
        }
        outcome.kept.push_back(item);
    }
    return outcome;
}

void StagingStore::finishMove(const MoveOutcome& outcome, std::size_t remaining) {
    if (!outcome.moved.empty()) {
        lastMove_.clear();
        for (const auto& r : outcome.moved)
            lastMove_.push_back(r.id);
    }
    prependReceipts(outcome.receipts);
    if (!outcome.moved.empty()) emit moved(outcome.moved);
    const std::string n = CountText::of(std::int64_t(outcome.moved.size()), "item");
    if (remaining == 0) {
        setLastMessage("Moved " + n + " to Trash. The space is freed when the Trash is emptied.");
    } else {
        setLastMessage("Moved " + n + ". " +
                       CountText::of(std::int64_t(remaining), "item remains", "items remain") +
                       " for retry.");
    }
}

void StagingStore::trashAll() {
    auto outcome = move(items_);
    if (outcome.kept != items_) setItems(outcome.kept);
    finishMove(outcome, items_.size());
}

bool StagingStore::canUndo() const {
    return std::any_of(receipts_.begin(), receipts_.end(), [&](const OperationReceipt& r) {
        return std::find(lastMove_.begin(), lastMove_.end(), r.id) != lastMove_.end();
    });
}

void StagingStore::undoLastMove() {
    std::vector<OperationReceipt> toRestore;
    for (const auto& r : receipts_) {
        if (std::find(lastMove_.begin(), lastMove_.end(), r.id) != lastMove_.end())
            toRestore.push_back(r);
    }
    if (toRestore.empty()) return;
    std::size_t back = 0;
    std::optional<std::string> failure;
    for (const auto& r : toRestore) {
        if (auto why = putBack(r)) {
            if (!failure) failure = std::move(*why);
        } else {
            ++back;
        }
    }
    syncReceipts(true);
    emit receiptsChanged();
    if (failure) {
        setLastMessage(failure->empty() ? std::string("Nothing could be put back.") : *failure);
    } else if (toRestore.size() == 1) {
        setLastMessage("Restored " + toRestore.front().name + ".");
    } else {
        setLastMessage("Restored " + CountText::of(std::int64_t(back), "item") + ".");
    }
}

std::optional<std::string> StagingStore::putBack(const OperationReceipt& given) {
    // Callers may hand in one of receipts_, which the erase below frees.
    const OperationReceipt receipt = given;
    if (!receipt.trashedURL) return std::string();
    const Status status = trash_->putBack(*receipt.trashedURL, receipt.originalURL);
    if (!status) return describe(status.error());
    std::erase_if(receipts_, [&](const OperationReceipt& r) { return r.id == receipt.id; });
    std::erase(lastMove_, receipt.id);
    putBack_.insert(receipt.id);
    emit restored(receipt);
    return std::nullopt;
}

void StagingStore::restore(const OperationReceipt& given) {
    const OperationReceipt receipt = given; // may be one of receipts_, which putBack changes
    if (!receipt.trashedURL) return;
    if (auto why = putBack(receipt)) {
        setLastMessage(std::move(*why));
        return;
    }
    syncReceipts(true);
    emit receiptsChanged();
    setLastMessage("Restored " + receipt.name + ".");
}

void StagingStore::setItems(std::vector<StagedItem> items) {
    items_ = std::move(items);
    emit itemsChanged();
}

void StagingStore::setLastMessage(std::string message) {
    lastMessage_ = std::move(message);
    emit lastMessageChanged();
}

void StagingStore::prependReceipts(std::vector<OperationReceipt> newestLast) {
    if (newestLast.empty()) return;
    std::vector<OperationReceipt> receipts;
    receipts.reserve(receipts_.size() + newestLast.size());
    std::move(newestLast.rbegin(), newestLast.rend(), std::back_inserter(receipts));
    std::move(receipts_.begin(), receipts_.end(), std::back_inserter(receipts));
    receipts_ = std::move(receipts);
    syncReceipts(true);
    emit receiptsChanged();
}

void StagingStore::setReceiptFile(std::string path) {
    receiptFile_ = std::move(path);
    seenInFile_.clear();
    reloadReceipts();
}

void StagingStore::reloadReceipts() {
    const auto before = receipts_;
    syncReceipts(false);
    if (receipts_ != before) emit receiptsChanged();
}

// Ours and the file's together, newest first: a failure or a receipt not yet
// written stays; one the file had and has no more is gone; one put back
// here does not return from the file.
std::vector<OperationReceipt> StagingStore::mergedWith(
    const std::vector<OperationReceipt>& onDisk) const {
    std::unordered_set<Uuid> inFile, ours;
    for (const auto& r : onDisk)
        inFile.insert(r.id);
    std::vector<OperationReceipt> merged;
    for (const auto& r : receipts_) {
        ours.insert(r.id);
        const bool lasting = r.succeeded && r.trashedURL;
        if (!lasting || inFile.count(r.id) || !seenInFile_.count(r.id)) merged.push_back(r);
    }
    for (const auto& r : onDisk) {
        if (!ours.count(r.id) && !putBack_.count(r.id)) merged.push_back(r);
    }
    std::stable_sort(
        merged.begin(), merged.end(),
        [](const OperationReceipt& a, const OperationReceipt& b) { return a.time > b.time; });
    return merged;
}

// A receipt that cannot be written still works for this launch; the next
// successful write carries it.
void StagingStore::syncReceipts(bool write) {
    if (receiptFile_.empty()) return;
    auto merge = [this](std::vector<OperationReceipt> onDisk) {
        receipts_ = mergedWith(onDisk);
        for (const auto& r : onDisk)
            seenInFile_.insert(r.id);
        return receipts_;
    };
    if (!write) {
        (void)merge(ReceiptLog::load(receiptFile_));
        return;
    }
    if (ReceiptLog::update(receiptFile_, merge)) {
        for (const auto& r : receipts_) {
            if (r.succeeded && r.trashedURL) seenInFile_.insert(r.id);
        }
    }
}

} // namespace tb
