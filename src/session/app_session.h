// The one object the interface talks to: all observable state and the
// commands that change it. Lives on the interface thread and is read and
// written only there. Background work (walks, loads, analyses, searches)
// receives its inputs by value and hands its result back through a
// SessionLink; the generation rule drops results of scans that are no longer
// current:
//   - scanGeneration only grows: startScan, cancelScan and loadHistory raise it;
//   - every asynchronous step of a scan or load carries its generation and
//     publishes nothing once the session's generation has moved on;
//   - search results are dropped when searchQuery changed meanwhile.
// Scan states: idle -> scanning (startScan / loadHistory) -> idle with a new
// forest (finished and current) or idle with the old forest (cancelScan,
// superseded, or a load that failed).
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/cleanup_candidate.h"
#include "analysis/duplicate_finder.h"
#include "analysis/quick_wins.h"
#include "analysis/snapshot_service.h"
#include "analysis/storage_insights.h"
#include "analysis/system_reclaim.h"
#include "analysis/uninstaller.h"
#include "platform/desktop.h"
#include "platform/volume_list.h"
#include "review/staging_store.h"
#include "scan/exclude_rules.h"
#include "scan/forest_edit.h"
#include "scan/scan_forest.h"
#include "scan/volume_accounting.h"
#include "session/app_enums.h"
#include "session/navigation.h"
#include "session/scan_pulse.h"
#include "session/session_link.h"
#include "store/scan_comparison.h"
#include "store/scan_record.h"
#include "store/scan_retention.h"

namespace tb {

// Names the published field that changed.
enum class SessionField {
    tab,
    viewMode,
    scanRoot,
    isScanning,
    forest,
    selected,
    volume,
    history,
    snapshots,
    quickWins,
    leftoverQuery,
    leftovers,
    duplicates,
    isFindingDuplicates,
    cleanupCandidates,
    appFootprints,
    leftBehind,
    systemReclaims,
    changes,
    changesMessage,
    statusMessage,
    showInspector,
    searchQuery,
    searchHits,
    historyHits,
    focus,
    trail,
    ageBucket,
    hardLinks,
    retention,
    scanRules,
    movedToTrash,
    refreshing,
    volumes,
    comparedWith,
};

// An item that left the tree on display for the Trash, with the bytes the
// tree lost with it.
struct MovedItem {
    std::string path;
    std::int64_t bytes = 0;
    bool operator==(const MovedItem&) const = default;
};

struct HistoryHit {
    ScanRecord record;
    std::string name;
    std::string path;
    std::int64_t allocatedSize = 0;
    bool operator==(const HistoryHit&) const = default;
};

// A mounted file system of the volumes overview, with its figures once read.
struct VolumeRow {
    platform::MountedVolume volume;
    std::optional<platform::SpaceFigures> space;
    bool reading = false; // a network or FUSE volume not answered yet
    std::string problem;  // why there are no figures
    bool operator==(const VolumeRow&) const = default;
};

class AppSession : public QObject {
    Q_OBJECT
public:
    // Short: a search that a later keystroke makes useless stops at once.
    static constexpr int searchPauseMs = 100;
    static constexpr std::size_t changeLimit = 160;

    explicit AppSession(std::shared_ptr<platform::Desktop> desktop = nullptr,
                        std::shared_ptr<platform::Trash> trash = nullptr,
                        QObject* parent = nullptr);
    ~AppSession() override;

    // Published state.
    AppTab tab() const { return tab_; }
    ViewMode viewMode() const { return viewMode_; }
    const std::string& scanRoot() const { return scanRoot_; }
    bool isScanning() const { return isScanning_; }
    const std::optional<ScanForest>& forest() const { return forest_; }
    const ScanNode* selected() const { return selected_; }
    const std::optional<VolumeSnapshot>& volume() const { return volume_; }
    const std::vector<ScanRecord>& history() const { return history_; }
    ScanPulse& pulse() { return *pulse_; }
    const std::vector<SnapshotInfo>& snapshots() const { return snapshots_; }
    const std::vector<QuickWin>& quickWins() const { return quickWins_; }
    const std::string& leftoverQuery() const { return leftoverQuery_; }
    const std::vector<Leftover>& leftovers() const { return leftovers_; }
    const std::vector<DuplicateGroup>& duplicates() const { return duplicates_; }
    bool isFindingDuplicates() const { return isFindingDuplicates_; }
    const std::vector<CleanupCandidate>& cleanupCandidates() const { return cleanupCandidates_; }
    const std::vector<AppFootprint>& appFootprints() const { return appFootprints_; }
    // App data whose app is gone, found with the footprints.
    const std::vector<Leftover>& leftBehind() const { return leftBehind_; }
    // What the machine can give back with one command; read at start-up and
    // after each scan, whatever its root.
    const std::vector<SystemReclaim>& systemReclaims() const { return systemReclaims_; }
    // The noticeable changes since the previous scan of the same folder.
    const std::vector<ScanChange>& changes() const;
    // The whole comparison; none without a previous scan to compare with.
    const std::optional<ChangeList>& changeList() const { return changes_; }
    const std::optional<std::string>& changesMessage() const { return changesMessage_; }
    const std::optional<std::string>& statusMessage() const { return statusMessage_; }
    bool showInspector() const { return showInspector_; }
    const std::string& searchQuery() const { return searchQuery_; }
    const std::vector<const ScanNode*>& searchHits() const { return searchHits_; }
    // Every node of the forest that matches; searchHits holds the first of them.
    std::size_t searchMatchCount() const { return searchMatchCount_; }
    const std::vector<HistoryHit>& historyHits() const { return historyHits_; }
    const ScanNode* focus() const { return nav_.focus(); }
    const std::vector<const ScanNode*>& trail() const { return nav_.trail(); }
    // Where Forward goes, the next step last; emptied by every new move.
    const std::vector<const ScanNode*>& forwardTrail() const { return nav_.forward(); }
    const std::optional<std::string>& ageBucket() const { return ageBucket_; }
    StagingStore& staging() { return *staging_; }
    // How the next scan counts a file with several names; the forest on
    // display keeps the counting it was made with.
    HardLinkMode hardLinks() const { return hardLinks_; }
    // What the next scan leaves out: glob patterns (see ExcludeRules), and
    // whether it walks into other local file systems.
    const std::vector<std::string>& excludePatterns() const { return excludePatterns_; }
    bool crossMounts() const { return crossMounts_; }
    // Mount points the user asked to have walked in the current root's scans.
    const std::vector<std::string>& enteredMounts() const { return enteredMounts_; }
    // What went to the Trash from the tree on display since it was scanned
    // or opened and is still there. The tree no longer holds these; its
    // stored file still does.
    const std::vector<MovedItem>& movedToTrash() const { return movedToTrash_; }

    // Derived.
    std::int64_t scannedBytes() const;
    std::int64_t unreadable() const;
    const ScanNode* displayRoot() const;
    // The folders from the forest's root down to the node's parent, found by
    // path; empty for the root and for a node outside the forest.
    std::vector<const ScanNode*> ancestors(const ScanNode* node) const;

    // Plain assignments from the views.
    void setTab(AppTab tab);
    void setViewMode(ViewMode mode);
    void setScanRoot(const std::string& root);
    void setShowInspector(bool show);
    void setLeftoverQuery(const std::string& query);
    void setAgeBucket(std::optional<std::string> key);
    void setSnapshots(std::vector<SnapshotInfo> snapshots);
    void setHardLinks(HardLinkMode mode);
    void setExcludePatterns(std::vector<std::string> patterns);
    void setCrossMounts(bool cross);
    // Adds a pattern naming this item below the scan's root; the next scan
    // leaves it out. The root itself cannot be excluded.
    void excludeNode(const ScanNode* node);
    // "Scan This Mount Here": scans the root again walking into this mount
    // point, whatever its file system; a network one that hangs holds only
    // the scan, never the window.
    void scanMountHere(const ScanNode* node);
    // "Rescan This Folder": walks the folder again with the rules its scan
    // was made with and puts it in place, sizes summed again up to the root.
    // A file or an item left out refreshes the folder holding it; the root
    // rescans everything. The tree is then saved as a new scan, compared
    // with the one it came from, so that the history and Changes describe
    // what is on display. Ignored during a scan or another refresh.
    void refreshFolder(const ScanNode* node);
    bool isRefreshing() const { return refreshing_; }
    // Every assignment schedules a search, even of the same text.
    void setSearchQuery(const std::string& query);

    // Scanning. Failures never throw: what the user must know becomes the
    // status message, and the state on screen stays as it was.
    // The folder chooser; confirming it scans the chosen folder (during a
    // scan it only sets the next root). A cancelled dialog changes nothing.
    void chooseRoot();
    // Sets the root, shows Explore and scans; a file or a drop during a scan
    // only sets the status message.
    void handleDroppedFolder(const std::optional<std::string>& path);
    // Ignored while a scan runs; a root that is not a folder sets the status.
    void startScan();
    // Publishes at once; the forest shown before the scan stays.
    void cancelScan();

    // History and navigation.
    // Reopens a stored scan on a background task; a file that cannot be read
    // whole leaves the forest as it was and says "Could not open that scan.".
    void loadHistory(const ScanRecord& record, const std::optional<std::string>& jumpToPath = {});
    // A scan stored outside the session (one of another machine) joins the
    // history, and the scans its save made surplus leave it.
    void addStoredScan(const ScanRecord& record, const std::vector<ScanRecord>& removed);
    // loadHistory, then jumpTo the node at `path`; a path no longer in the
    // scan leaves the scan's root on display.
    void jumpToHistory(const ScanRecord& record, const std::string& path);
    // A folder is focused; a file focuses its folder with the file selected.
    // A node outside the forest does nothing.
    void jumpTo(const ScanNode* node);
    void select(const ScanNode* node);
    // Goes into a folder; a file is only selected.
    void dive(const ScanNode* node);
    // Back one step of the trail; nothing when the trail is empty.
    void popFocus();
    void resetFocus();
    // Back again after popFocus.
    void goForward();
    // Focuses the display root's parent with the folder left selected.
    void goUp();
    // Desktop hand-offs; a desktop that does not answer sets the status.
    void openTerminal(const std::string& folder);
    // Shows the item in the file manager ("Show in Files": FileManager1 over
    // D-Bus, else the parent folder opened).
    void revealInFinder(const std::string& path);

    // Stored scans. The scan on display, one being opened and a pinned one
    // are never removed; any other moves to the Trash (after the interface
    // has asked) and leaves the history. A refusal or a failed move is
    // returned and becomes the status message; the history stays as it was.
    bool isOpenScan(const ScanRecord& record) const;
    Status removeStoredScan(const ScanRecord& record);
    // How many scans of each folder stay after a new one is saved, and which
    // scans stay whatever that count. Read with the history; each change is
    // written to the store at once (a failure becomes the status message).
    // After a save, the saved root's surplus scans are deleted for good
    // (they are ours, not the user's), never the one on display or opening.
    const RetentionPolicy& retention() const { return retention_; }
    bool isPinned(const ScanRecord& record) const { return retention_.isPinned(record.id); }
    Status setKeepScans(std::optional<int> perFolder);
    Status setPinned(const ScanRecord& record, bool pinned);
    // Opens with the default application; no answer sets the status.
    void openItem(const std::string& path);
    // "Preview": the desktop's previewer where one answers, else the item is
    // opened with its default application; no answer sets the status.
    void quickLook(const std::string& path);

    // The mounted file systems a user would scan. refreshVolumes reads the
    // list and the local figures off this thread and publishes them; each
    // network or FUSE volume's figures follow on their own, or its row says
    // it did not answer: a hung server holds only a thread of its own.
    const std::vector<VolumeRow>& volumes() const { return volumes_; }
    void refreshVolumes();
    // Scans the volume at its mount point and shows Explore.
    void scanVolume(const std::string& point);

    // Files. A scan file opens as it is; an ncdu export (.json, .json.gz) is
    // imported into the store first, then opened. Read off this thread; what
    // cannot be opened says why in the status.
    void openScanFile(const std::string& path);
    // The tree on display in the ncdu format, written off this thread into a
    // file that appears under `target` only once complete. The status says
    // how it went.
    void exportNcdu(const std::string& target);
    // Changes: the other stored scans of the tree's subject, newest first,
    // and the one the changes are against (none: no comparison).
    std::vector<ScanRecord> comparableScans() const;
    const std::optional<ScanRecord>& comparedWith() const { return comparedWith_; }
    // Compares the tree on display with `record` instead, off this thread.
    void compareWith(const ScanRecord& record);

    // Start-up, volume, analyses on request.
    // Once per session: the history, snapshots and quick wins arrive from
    // background tasks; the volume is read at once.
    void prepareWorkspaceIfNeeded();
    // The scan root's volume; a failed read keeps the last figures and sets
    // the status message. A Trash that changed since it was measured keeps
    // its last figure (volume().trashPending) and is measured in the
    // background; the volume is published again once it is.
    void refreshVolume();
    // Lists the snapshots of the scan root's volume on a background task
    // (the reading tools may take seconds) and publishes them; a tool that
    // is missing or fails contributes none.
    void refreshSnapshots();
    // Background searches; a newer scan or load drops their results.
    void findDuplicates();
    void searchLeftovers();
    // Reads the machine's reclaimable storage again, off this thread.
    void refreshSystemReclaims();
    void setSystemReclaims(std::vector<SystemReclaim> found);
    // Into the review queue; a refusal becomes the queue's last message.
    void stage(const CleanupCandidate& candidate);
    void stageDuplicate(const std::string& path, std::int64_t bytes, const std::string& reason);

    // For tests: the generation of the current scan or load.
    std::uint64_t scanGeneration() const { return scanGeneration_; }

signals:
    void changed(tb::SessionField field);

private:
    struct PostScanResult;
    using Link = SessionLink<AppSession>;

    void notify(SessionField field) { emit changed(field); }
    bool refusedAsRemote();
    void setStatus(std::optional<std::string> message);
    void setIsScanning(bool scanning);
    void setSelected(const ScanNode* node);
    void setFocus(const ScanNode* node);
    void setTrail(std::vector<const ScanNode*> trail);
    // Records the display root in the trail before moving the focus to
    // `folder` (a new move: Forward is forgotten).
    void moveFocus(const ScanNode* folder);
    // The new tree in place of the old, shown from its root with nothing of
    // the old one reachable; `scanFile` is its stored file ("" for none yet).
    void adoptForest(const ScanForest& forest, std::string scanFile);
    void stopScanTask();
    void onRefreshed(std::uint64_t generation, std::optional<ForestEdit::WalkedItem> item,
                     const std::string& name);
    void releaseNodesOfForest();

    void onProgress(std::uint64_t generation, const WalkProgress& progress,
                    const std::string& root);
    void onWalkFinished(std::uint64_t generation, std::stop_token stop, ScanForest forest,
                        const std::string& root, std::optional<ScanRecord> previous);
    void startPostScanAnalyses(std::uint64_t generation, const ScanForest& forest,
                               const std::string& root, std::optional<ScanRecord> previous);
    void publishPostScan(std::uint64_t generation, PostScanResult result);
    void onLoaded(std::uint64_t generation, std::stop_token stop, const ScanRecord& record,
                  std::optional<ScanForest> forest, std::optional<std::string> jumpToPath);
    void scheduleSearch();
    void runSearch();
    void measureTrash(std::vector<std::string> folders);
    Status changeRetention(const std::function<void(RetentionPolicy&)>& change);
    // Drops the surplus of a save from the history and deletes its files.
    void removeSurplus(std::vector<ScanRecord> surplus);
    // The tree follows the Trash: what left goes, what came back is read
    // again and put in place.
    void onMoved(const std::vector<OperationReceipt>& receipts);
    void onRestored(const OperationReceipt& receipt);
    // Callers keep the old forest alive until this returns.
    void replaceForest(ForestEdit::Edited edited);
    std::vector<const ScanNode*> nodesToFollow() const;
    void dropRowsOfMoved(bool announce);
    std::int64_t scannedForTruth() const;

    // Constant after construction.
    const std::shared_ptr<platform::Desktop> desktop_;
    const std::shared_ptr<Link> link_;

    AppTab tab_ = AppTab::overview;
    ViewMode viewMode_ = ViewMode::folders;
    std::string scanRoot_;
    bool isScanning_ = false;
    std::optional<ScanForest> forest_;
    const ScanNode* selected_ = nullptr; // into forest_ (or null), like nav_
    std::optional<VolumeSnapshot> volume_;
    std::vector<ScanRecord> history_;
    ScanPulse* const pulse_; // owned: a Qt child of this session
    std::vector<SnapshotInfo> snapshots_;
    std::vector<QuickWin> quickWins_;
    std::string leftoverQuery_;
    std::vector<Leftover> leftovers_;
    std::vector<DuplicateGroup> duplicates_;
    bool isFindingDuplicates_ = false;
    std::vector<CleanupCandidate> cleanupCandidates_;
    std::vector<AppFootprint> appFootprints_;
    std::vector<Leftover> leftBehind_;
    std::vector<SystemReclaim> systemReclaims_;
    std::optional<ChangeList> changes_;
    std::optional<ScanRecord> comparedWith_;
    std::uint64_t compareGeneration_ = 0;
    std::optional<std::string> changesMessage_;
    std::optional<std::string> statusMessage_;
    bool showInspector_ = false;
    std::string searchQuery_;
    std::vector<const ScanNode*> searchHits_;
    std::size_t searchMatchCount_ = 0;
    std::optional<ScanForest> searchHitsForest_; // keeps the hits' nodes alive
    std::vector<HistoryHit> historyHits_;
    Navigation nav_;
    std::optional<std::string> ageBucket_;
    StagingStore* const staging_; // owned: a Qt child of this session
    HardLinkMode hardLinks_ = HardLinkMode::once;
    RetentionPolicy retention_;
    std::vector<std::string> excludePatterns_ = ExcludeRules::snapshotPatterns();
    bool crossMounts_ = false;
    std::vector<std::string> enteredMounts_;
    std::vector<MovedItem> movedToTrash_;
    std::vector<VolumeRow> volumes_;
    std::uint64_t volumesGeneration_ = 0;

    // Private state.
    const std::shared_ptr<platform::Trash> trash_;
    std::string openScanFile_;    // the file behind forest_, once saved or loaded
    std::string openingScanFile_; // the file a load in flight is reading
    std::shared_ptr<std::stop_source> scanTask_;
    std::shared_ptr<std::stop_source> refreshTask_;
    bool refreshing_ = false;
    std::uint64_t scanGeneration_ = 0;
    bool workspacePrepared_ = false;
    bool historyRead_ = false;     // the store's history has reached history_
    bool retentionChosen_ = false; // changed here: newer than the start-up read
    bool measuringTrash_ = false;
    QTimer* const searchTimer_; // owned: a Qt child of this session
    // What the pending search captured when it was scheduled.
    struct SearchInput {
        std::string query;
        std::optional<ScanForest> forest;
        std::vector<ScanRecord> records;
    };
    SearchInput searchInput_;
    // The search last started; its results alone are published.
    std::shared_ptr<std::stop_source> searchTask_;
    std::uint64_t searchSerial_ = 0;
};

} // namespace tb
