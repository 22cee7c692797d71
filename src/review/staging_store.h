// The review queue: what may enter it, the recheck of every item against the
// state it had when queued, the move of the queue to the Trash, and the
// receipts that can put a moved item back. Lives on the interface thread and
// is used only there; every operation, the moves included, runs synchronously.
// Each published field has one signal, emitted after every assignment.
#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "analysis/cleanup_candidate.h"
#include "platform/trash.h"
#include "review/staged_item.h"
#include "scan/scan_forest.h"

namespace tb {

class StagingStore : public QObject {
    Q_OBJECT

public:
    // Why nothing of a scan of another machine is queued, moved or handed on.
    static constexpr std::string_view kOtherMachine =
        "This scan is of another machine; Tarnbeck only moves local files to the Trash.";

    // Without a trash the desktop's own is used.
    explicit StagingStore(std::shared_ptr<platform::Trash> trash = nullptr,
                          QObject* parent = nullptr);

    // Published.
    const std::vector<StagedItem>& items() const { return items_; }
    const std::vector<OperationReceipt>& receipts() const { return receipts_; } // newest first
    const std::optional<std::string>& lastMessage() const { return lastMessage_; }
    std::int64_t totalBytes() const;
    // What moving the whole queue would give back: as totalBytes, except that
    // a file with several names in the scan on display counts only when all
    // of them are queued (and then once).
    std::int64_t freesAbout() const;

    // Queues an item; a refusal (missing, protected, already queued, inside
    // or holding a queued folder) leaves the queue as it was and says why in
    // lastMessage.
    void stage(const ScanNode& node);

    // Nodes of the scan on display taken straight to the Trash, past the
    // queue: admitted as the queue admits them (one inside another goes
    // with it), then rechecked, moved and given receipts as trashAll does.
    struct Selection {
        std::vector<const ScanNode*> nodes;
        std::vector<StagedItem> items;
        std::int64_t bytes = 0;
        std::int64_t frees = 0;             // as freesAbout, for these nodes
        std::optional<std::string> refused; // why the first refused node may not go
    };
    Selection select(std::span<const ScanNode* const> nodes) const;
    // Queued items among those moved, or inside them, leave the queue.
    void trash(const Selection& selection);
    void stage(const CleanupCandidate& candidate);
    void stage(const std::string& url, const std::string& name, std::int64_t bytes,
               const std::string& reason = "Selected for review");
    bool isStaged(std::string_view url) const;
    // Why `url` may not enter beyond the system paths (the scan root, the home
    // folder, a folder holding either or a protected location, a Trash or
    // what lies in one), or nothing.
    std::optional<std::string> refusal(std::string_view url) const;
    // The root of the scan on display; it may not enter the queue itself.
    void setScanRoot(std::string root) { scanRoot_ = std::move(root); }
    // The scan on display, whose files with several names freesAbout knows.
    void setForest(ScanForest forest);
    // Keeps the receipts of successful moves in `path` from now on, taking
    // over those of earlier launches whose items are still in the Trash. A
    // missing or damaged file brings none; a failed write keeps the receipts
    // for this launch. Other instances may share the file: every write
    // merges with what they wrote, and what one put back leaves the others.
    void setReceiptFile(std::string path);
    // Takes in what other instances have written to the receipt file since.
    void reloadReceipts();
    // Takes an item out of the queue; nothing on disk changes.
    void remove(const StagedItem& item);
    // Rechecks every item and moves those still as queued to the Trash, one
    // by one; an item that changed or fails to move stays where it is, keeps
    // its place in the queue and gets a receipt saying why.
    void trashAll();
    // Puts a moved item back; a refusal (something now at the path, a parent
    // that became a link) leaves it in the Trash and says what to do.
    void restore(const OperationReceipt& receipt);
    // Whether some item of the latest move (trashAll or trash) is still in
    // the Trash with its receipt; undoLastMove puts all such back.
    bool canUndo() const;
    void undoLastMove();

    // Whether the item at `item.url` still is what was queued; false when it
    // cannot be read.
    static bool matchesExpectedState(const StagedItem& item);

signals:
    void itemsChanged();
    void receiptsChanged();
    void lastMessageChanged();
    // The successful moves of one trashAll or trash; each item put back.
    void moved(const std::vector<tb::OperationReceipt>& receipts);
    void restored(const tb::OperationReceipt& receipt);

private:
    struct MoveOutcome {
        std::vector<OperationReceipt> receipts; // in order, failures too
        std::vector<OperationReceipt> moved;
        std::vector<StagedItem> kept;
    };
    MoveOutcome move(const std::vector<StagedItem>& items);
    void finishMove(const MoveOutcome& outcome, std::size_t remaining);
    // The description of a refusal, or nothing once the item is back.
    std::optional<std::string> putBack(const OperationReceipt& receipt);
    StagedItem itemFor(const ScanNode& node) const;
    std::optional<std::string> admissionRefusal(const std::string& url,
                                                const char* unsafeMessage) const;
    bool admit(const std::string& url, const char* unsafeMessage);
    void append(StagedItem item);
    void setItems(std::vector<StagedItem> items);
    void setLastMessage(std::string message);
    void prependReceipts(std::vector<OperationReceipt> newestLast);
    void syncReceipts(bool write);
    std::vector<OperationReceipt> mergedWith(const std::vector<OperationReceipt>& onDisk) const;

    const std::shared_ptr<platform::Trash> trash_;
    std::vector<StagedItem> items_;
    std::vector<OperationReceipt> receipts_;
    std::optional<std::string> lastMessage_;
    std::string scanRoot_;
    std::optional<ScanForest> forest_;
    std::string receiptFile_; // empty: receipts live in memory only
    // Receipts seen in the file: one missing from it later was put back or
    // dropped elsewhere and must not be written back from here.
    std::unordered_set<Uuid> seenInFile_;
    // Receipts put back here, which another instance's copy must not revive.
    std::unordered_set<Uuid> putBack_;
    std::vector<Uuid> lastMove_; // the successful receipts of the latest move
};

} // namespace tb
