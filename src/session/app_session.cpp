#include "session/app_session.h"

#include <algorithm>
#include <future>
#include <thread>
#include <unordered_set>

#include "analysis/cleanup_catalog.h"
#include "analysis/linux_apps.h"
#include "base/background_work.h"
#include "base/count_text.h"
#include "base/path.h"
#include "base/utf8.h"
#include "interchange/ncdu_json.h"
#include "interchange/scan_files.h"
#include "platform/file_system.h"
#include "platform/output_file.h"
#include "platform/volume_info.h"
#include "platform/process_runner.h"
#include "review/receipt_log.h"
#include "scan/directory_walker.h"
#include "store/index_search.h"
#include "store/query_text.h"
#include "store/scan_retention.h"
#include "store/scan_store.h"

namespace tb {
namespace {

// Background work is detached: a walk blocked on a hung mount must never hold
// up the interface, and the generation rule drops whatever arrives late.
template <typename F>
void detach(F&& work) {
    std::thread([work = std::forward<F>(work)]() mutable {
        BackgroundWork::Running running;
        work();
    }).detach();
}

std::string homeFolder() {
    return platform::SpecialFolders::home().value_or("/");
}

} // namespace

struct AppSession::PostScanResult {
    std::optional<ScanRecord> record;
    std::vector<CleanupCandidate> candidates;
    std::vector<AppFootprint> apps;
    std::vector<Leftover> leftBehind;
    std::vector<QuickWin> quickWins;
    std::optional<ChangeList> changes;
    std::optional<std::string> changesMessage;
    std::optional<ScanRecord> compared; // what the changes are against
    std::vector<ScanRecord> surplus;    // older scans of the root, past the count kept
};

AppSession::AppSession(std::shared_ptr<platform::Desktop> desktop,
                       std::shared_ptr<platform::Trash> trash, QObject* parent)
    : QObject(parent),
      desktop_(desktop ? std::move(desktop) : std::make_shared<platform::NoDesktop>()),
      link_(std::make_shared<Link>(this)),
      scanRoot_(homeFolder()),
      pulse_(new ScanPulse(this)),
      staging_(new StagingStore(trash, this)),
      trash_(trash ? std::move(trash) : platform::systemTrash()),
      searchTimer_(new QTimer(this)) {
    searchTimer_->setSingleShot(true);
    searchTimer_->setInterval(searchPauseMs);
    connect(searchTimer_, &QTimer::timeout, this, &AppSession::runSearch);
    if (auto receipts = ReceiptLog::defaultPath()) staging_->setReceiptFile(*receipts);
    // What goes into the Trash or comes back out changes its slice of the volume.
    connect(staging_, &StagingStore::receiptsChanged, this, [this] {
        if (volume_) refreshVolume();
    });
    connect(staging_, &StagingStore::moved, this, &AppSession::onMoved);
    connect(staging_, &StagingStore::restored, this, &AppSession::onRestored);
}

AppSession::~AppSession() {
    link_->cut();
    if (scanTask_) scanTask_->request_stop();
    if (searchTask_) searchTask_->request_stop();
    if (refreshTask_) refreshTask_->request_stop();
}

// --- derived -------------------------------------------------------------

std::int64_t AppSession::scannedBytes() const {
    if (isScanning_ && pulse_->progress()) return pulse_->progress()->scannedBytes;
    return forest_ ? forest_->root()->allocatedSize() : 0;
}

const std::vector<ScanChange>& AppSession::changes() const {
    static const std::vector<ScanChange> none;
    return changes_ ? changes_->listed : none;
}

std::int64_t AppSession::unreadable() const {
    return forest_ ? forest_->unreadable() : 0;
}

const ScanNode* AppSession::displayRoot() const {
    if (nav_.focus()) return nav_.focus();
    return forest_ ? forest_->root() : nullptr;
}

// --- plain assignments ---------------------------------------------------

void AppSession::setTab(AppTab tab) {
    tab_ = tab;
    notify(SessionField::tab);
}

void AppSession::setViewMode(ViewMode mode) {
    viewMode_ = mode;
    notify(SessionField::viewMode);
}

void AppSession::setScanRoot(const std::string& root) {
    if (root != scanRoot_) enteredMounts_.clear();
    scanRoot_ = root;
    notify(SessionField::scanRoot);
}

void AppSession::setShowInspector(bool show) {
    showInspector_ = show;
    notify(SessionField::showInspector);
}

void AppSession::setLeftoverQuery(const std::string& query) {
    leftoverQuery_ = query;
    notify(SessionField::leftoverQuery);
}

void AppSession::setAgeBucket(std::optional<std::string> key) {
    ageBucket_ = std::move(key);
    notify(SessionField::ageBucket);
}

void AppSession::setSnapshots(std::vector<SnapshotInfo> snapshots) {
    snapshots_ = std::move(snapshots);
    notify(SessionField::snapshots);
}

void AppSession::setExcludePatterns(std::vector<std::string> patterns) {
    excludePatterns_ = std::move(patterns);
    notify(SessionField::scanRules);
}

void AppSession::setCrossMounts(bool cross) {
    crossMounts_ = cross;
    notify(SessionField::scanRules);
}

void AppSession::excludeNode(const ScanNode* node) {
    if (!forest_ || !node || node == forest_->root()) return;
    const std::string root = forest_->root()->path();
    const std::string path = node->path();
    const std::size_t skip = root == "/" ? 0 : root.size();
    if (path.size() <= skip || path.compare(0, skip, root) != 0) return;
    // Anchored at the root, with the characters a glob reads quoted.
    std::string pattern;
    for (char c : std::string_view(path).substr(skip)) {
        if (c == '*' || c == '?' || c == '[' || c == '\\') pattern += '\\';
        pattern += c;
    }
    if (node->isDirectory()) pattern += '/';
    if (std::find(excludePatterns_.begin(), excludePatterns_.end(), pattern) ==
        excludePatterns_.end()) {
        excludePatterns_.push_back(pattern);
        notify(SessionField::scanRules);
    }
    setStatus("“" + std::string(node->name()) + "” will be left out of the next scan.");
}

void AppSession::scanMountHere(const ScanNode* node) {
    if (!node || node->leftOut() != LeftOutKind::mount || isScanning_) return;
    if (refusedAsRemote()) return;
    const std::string path = node->path();
    if (std::find(enteredMounts_.begin(), enteredMounts_.end(), path) == enteredMounts_.end()) {
        enteredMounts_.push_back(path);
    }
    if (forest_) scanRoot_ = forest_->root()->path();
    notify(SessionField::scanRoot);
    startScan();
}

void AppSession::setHardLinks(HardLinkMode mode) {
    hardLinks_ = mode;
    notify(SessionField::hardLinks);
}

void AppSession::setSearchQuery(const std::string& query) {
    searchQuery_ = query;
    notify(SessionField::searchQuery);
    scheduleSearch();
}

// Nothing may point into a forest once it is replaced: whoever observes the
// new forest must not find the selection, focus or trail of the old one.
void AppSession::releaseNodesOfForest() {
    if (selected_) setSelected(nullptr);
    if (nav_.focus()) setFocus(nullptr);
    if (!nav_.trail().empty() || !nav_.forward().empty()) setTrail({});
    if (!searchHits_.empty()) {
        searchHits_.clear();
        searchHitsForest_.reset();
        notify(SessionField::searchHits);
    }
}

void AppSession::setStatus(std::optional<std::string> message) {
    statusMessage_ = std::move(message);
    notify(SessionField::statusMessage);
}

void AppSession::setIsScanning(bool scanning) {
    isScanning_ = scanning;
    notify(SessionField::isScanning);
}

void AppSession::setSelected(const ScanNode* node) {
    selected_ = node;
    notify(SessionField::selected);
}

void AppSession::setFocus(const ScanNode* node) {
    nav_.setFocus(node);
    notify(SessionField::focus);
}

void AppSession::setTrail(std::vector<const ScanNode*> trail) {
    nav_.setTrail(std::move(trail));
    notify(SessionField::trail);
}

void AppSession::moveFocus(const ScanNode* folder) {
    nav_.enter(displayRoot(), folder);
    notify(SessionField::trail);
    notify(SessionField::focus);
}

std::vector<const ScanNode*> AppSession::ancestors(const ScanNode* node) const {
    return Navigation::ancestors(forest_ ? forest_->root() : nullptr, node);
}

// --- scanning ------------------------------------------------------------

// The dialog's button says "Scan", so confirming it scans. While a scan runs
// the button says what it does then: it only picks the next folder.
void AppSession::chooseRoot() {
    const bool scanning = isScanning_;
    auto chosen = desktop_->chooseFolder(scanRoot_, scanning ? "Choose" : "Scan");
    if (!chosen) return;
    setScanRoot(*chosen);
    if (!scanning && !isScanning_) startScan();
}

void AppSession::handleDroppedFolder(const std::optional<std::string>& path) {
    if (!path) {
        setStatus("That item could not be opened as a folder.");
        return;
    }
    if (isScanning_) {
        setStatus("Finish or cancel the current scan before choosing another folder.");
        return;
    }
    const std::string root = Path::standardized(*path);
    const auto existence = platform::FileSystem::exists(root);
    if (!existence.exists || !existence.isDirectory) {
        setStatus("Drop a folder to scan. Files are not supported as scan roots.");
        return;
    }
    setScanRoot(root);
    setTab(AppTab::explore);
    setStatus("Scanning " + std::string(Path::displayName(root)) + "\u2026");
    startScan();
}

void AppSession::stopScanTask() {
    if (scanTask_) scanTask_->request_stop();
    scanTask_.reset();
    if (refreshTask_) refreshTask_->request_stop();
    refreshTask_.reset();
    if (refreshing_) {
        refreshing_ = false;
        notify(SessionField::refreshing);
    }
}

void AppSession::refreshFolder(const ScanNode* node) {
    if (!forest_ || !node || isScanning_) return;
    // Walked here, another machine's path would read this machine's files.
    if (refusedAsRemote()) return;
    if (refreshing_) {
        setStatus("Wait until the folder being scanned again is done.");
        return;
    }
    const ScanNode* folder = node;
    if (!folder->isDirectory() || folder->leftOut() != LeftOutKind::none) folder = folder->parent();
    if (!folder || ForestEdit::nodeAt(*forest_, folder->path()) != folder) return;
    const std::string root = forest_->root()->path();
    if (folder == forest_->root()) {
        setScanRoot(root);
        startScan();
        return;
    }
    const std::string path = folder->path();
    DirectoryWalker::Options options;
    options.hardLinks = forest_->links().mode();
    options.exclude = ExcludeRules(forest_->context().excludePatterns);
    options.excludeBase = path.substr(root == "/" ? 1 : root.size() + 1);
    options.crossMounts = crossMounts_;
    options.enterMounts = enteredMounts_;
    const std::string name(folder->name());
    const std::uint64_t generation = scanGeneration_;
    auto task = std::make_shared<std::stop_source>();
    refreshTask_ = task;
    refreshing_ = true;
    notify(SessionField::refreshing);
    setStatus("Scanning \u201c" + name + "\u201d again\u2026");
    detach([link = link_, generation, path, options, name, stop = task->get_token()] {
        auto item = ForestEdit::walkItem(path, options, stop);
        if (stop.stop_requested()) return;
        link->post([generation, item = std::move(item), name](AppSession& s) mutable {
            s.onRefreshed(generation, std::move(item), name);
        });
    });
}

void AppSession::onRefreshed(std::uint64_t generation, std::optional<ForestEdit::WalkedItem> item,
                             const std::string& name) {
    if (generation != scanGeneration_ || !refreshing_ || !forest_) return;
    refreshing_ = false;
    refreshTask_.reset();
    notify(SessionField::refreshing);
    const ScanForest before = *forest_;
    std::optional<ForestEdit::Edited> edited;
    if (item) edited = ForestEdit::refreshed(before, *item, nodesToFollow());
    if (!edited) {
        setStatus("\u201c" + name + "\u201d could not be read again.");
        return;
    }
    std::optional<ScanRecord> previous;
    for (const ScanRecord& r : history_) {
        if (r.fileURL == openScanFile_) {
            previous = r;
            break;
        }
    }
    // The folder's nodes are new: what was shown inside it is found by path.
    const std::string selectedPath = selected_ ? selected_->path() : std::string();
    const std::string focusPath = nav_.focus() ? nav_.focus()->path() : std::string();
    // Whatever was under way for the tree as it was no longer applies.
    const std::uint64_t next = ++scanGeneration_;
    replaceForest(std::move(*edited));
    const ScanNode* focus = focusPath.empty() ? nullptr : ForestEdit::nodeAt(*forest_, focusPath);
    if (focus && focus != nav_.focus()) setFocus(focus);
    const ScanNode* selected =
        selectedPath.empty() ? nullptr : ForestEdit::nodeAt(*forest_, selectedPath);
    if (selected && selected != selected_) setSelected(selected);
    // A new scan: what went to the Trash before it is simply not in it.
    movedToTrash_.clear();
    notify(SessionField::movedToTrash);
    openScanFile_.clear(); // this tree has no file until its save returns
    changes_.reset();
    notify(SessionField::changes);
    changesMessage_.reset();
    notify(SessionField::changesMessage);
    comparedWith_.reset();
    notify(SessionField::comparedWith);
    refreshVolume();
    setStatus("\u201c" + name + "\u201d was scanned again.");
    startPostScanAnalyses(next, *forest_, forest_->root()->path(), std::move(previous));
}

void AppSession::startScan() {
    if (isScanning_) return;
    stopScanTask();
    const std::uint64_t generation = ++scanGeneration_;

    setIsScanning(true);
    setSelected(nullptr);
    setFocus(nullptr);
    setTrail({});
    setSearchQuery("");
    searchHits_.clear();
    searchMatchCount_ = 0;
    searchHitsForest_.reset();
    notify(SessionField::searchHits);
    historyHits_.clear();
    notify(SessionField::historyHits);
    leftovers_.clear();
    notify(SessionField::leftovers);
    duplicates_.clear();
    notify(SessionField::duplicates);
    cleanupCandidates_.clear();
    notify(SessionField::cleanupCandidates);
    appFootprints_.clear();
    notify(SessionField::appFootprints);
    changes_.reset();
    notify(SessionField::changes);
    changesMessage_.reset();
    notify(SessionField::changesMessage);
    comparedWith_.reset();
    notify(SessionField::comparedWith);

    pulse_->setProgress(WalkProgress{0, 0, 0, scanRoot_});
    pulse_->applyTruth(0, 0, volume_, scanRoot_);

    const std::string root = scanRoot_;
    // The latest scan of the same folder, whatever was scanned since.
    auto sameRoot = [root](const ScanRecord& r) { return r.rootPath == root; };
    std::optional<ScanRecord> previous;
    if (auto it = std::find_if(history_.begin(), history_.end(), sameRoot); it != history_.end())
        previous = *it;
    // A scan started at launch may come before the history has been read.
    const bool readPrevious = !previous && !historyRead_;
    auto task = std::make_shared<std::stop_source>();
    scanTask_ = task;
    DirectoryWalker::Options options;
    options.hardLinks = hardLinks_;
    options.exclude = ExcludeRules(excludePatterns_);
    options.crossMounts = crossMounts_;
    options.enterMounts = enteredMounts_;
    detach([link = link_, root, previous, readPrevious, generation, options, sameRoot,
            stop = task->get_token()]() mutable {
        if (readPrevious) {
            auto stored = ScanStore::history();
            if (auto it = std::find_if(stored.begin(), stored.end(), sameRoot); it != stored.end())
                previous = std::move(*it);
        }
        auto progress = [link, generation, root](const WalkProgress& p) {
            link->post([generation, p, root](AppSession& s) { s.onProgress(generation, p, root); });
        };
        ScanForest forest = DirectoryWalker::walk(root, progress, stop, options);
        link->post([generation, stop, forest = std::move(forest), root, previous](AppSession& s) {
            s.onWalkFinished(generation, stop, forest, root, previous);
        });
    });
}

void AppSession::onProgress(std::uint64_t generation, const WalkProgress& progress,
                            const std::string& root) {
    if (generation != scanGeneration_) return;
    pulse_->apply(progress, volume_, root);
}

void AppSession::onWalkFinished(std::uint64_t generation, std::stop_token stop, ScanForest forest,
                                const std::string& root, std::optional<ScanRecord> previous) {
    if (stop.stop_requested() || generation != scanGeneration_) return;
    scanTask_.reset();
    adoptForest(forest, ""); // this tree has no file until its save returns
    startPostScanAnalyses(generation, forest, root, std::move(previous));
}

void AppSession::adoptForest(const ScanForest& forest, std::string scanFile) {
    releaseNodesOfForest();
    forest_ = forest;
    movedToTrash_.clear();
    notify(SessionField::movedToTrash);
    openScanFile_ = std::move(scanFile);
    openingScanFile_.clear();
    staging_->setScanRoot(std::string(forest.root()->url()));
    staging_->setForest(forest);
    notify(SessionField::forest);
    setSelected(forest.root());
    setFocus(forest.root());
    setIsScanning(false);
    pulse_->setProgress(std::nullopt);
    refreshVolume();
    // Hits of the old tree would lead nowhere in this one (a query may have
    // been typed while the walk ran): search this one.
    if (!searchQuery_.empty()) scheduleSearch();
}

void AppSession::startPostScanAnalyses(std::uint64_t generation, const ScanForest& forest,
                                       const std::string& root,
                                       std::optional<ScanRecord> previous) {
    // The save takes longest: the comparison, then the analyses, run beside
    // it on the other core and are shown as each ends. The save is published
    // last, so that a new entry in the history means all of this scan is on
    // screen, and its surplus is taken only once the previous scan has been
    // compared (it may be surplus).
    auto shown = std::make_shared<std::promise<void>>();
    std::shared_future<void> shownDone = shown->get_future().share();
    detach([link = link_, generation, forest, previous, shown] {
        PostScanResult r;
        if (previous && previous->context.rootPath == forest.context().rootPath &&
            previous->context.volumeCapacity == forest.context().volumeCapacity) {
            r.changesMessage = ScanComparison::incomparable(forest.context(), previous->context);
            if (!r.changesMessage) {
                r.changes = ScanComparison::changeList(forest.root(), *previous, changeLimit);
            }
            r.compared = previous;
        }
        link->post([generation, changes = std::move(r.changes),
                    message = std::move(r.changesMessage),
                    compared = std::move(r.compared)](AppSession& s) mutable {
            if (generation != s.scanGeneration_) return;
            s.changesMessage_ = std::move(message);
            s.notify(SessionField::changesMessage);
            s.changes_ = std::move(changes);
            s.notify(SessionField::changes);
            s.comparedWith_ = std::move(compared);
            s.notify(SessionField::comparedWith);
        });
        r.candidates = CleanupCatalog::candidates(forest);
        const std::string home = homeFolder();
        r.apps = StorageInsights::apps(forest, home);
        r.leftBehind =
            LinuxApps::leftBehind(forest.nodes(), AppSources::forHome(HomePlaces::of(home)));
        auto modules =
            QuickWins::nodeModules(forest.nodes(), HomePlaces::of(home), &systemDiskEvidence());
        r.quickWins = QuickWins::discover(home);
        r.quickWins.insert(r.quickWins.end(), modules.begin(), modules.end());
        r.quickWins = QuickWins::arrange(std::move(r.quickWins));
        link->post([generation, r = std::move(r)](AppSession& s) mutable {
            if (generation != s.scanGeneration_) return;
            s.cleanupCandidates_ = std::move(r.candidates);
            s.quickWins_ = std::move(r.quickWins);
            s.dropRowsOfMoved(false); // found in the tree as it was scanned
            s.notify(SessionField::cleanupCandidates);
            s.appFootprints_ = std::move(r.apps);
            s.notify(SessionField::appFootprints);
            s.leftBehind_ = std::move(r.leftBehind);
            s.notify(SessionField::leftBehind);
            s.refreshSystemReclaims();
            s.notify(SessionField::quickWins);
        });
        shown->set_value();
    });
    detach([link = link_, generation, forest, root, shownDone] {
        PostScanResult r;
        const std::string store = ScanStore::directory();
        if (auto saved = ScanStore::saveIn(store, forest, root)) r.record = std::move(*saved);
        shownDone.wait();
        if (r.record) {
            r.surplus = ScanRetention::surplus(ScanStore::historyIn(store), r.record->rootPath,
                                               ScanRetention::read(store), {r.record->fileURL});
        }
        link->post([generation, r = std::move(r)](AppSession& s) mutable {
            s.publishPostScan(generation, std::move(r));
        });
    });
}

void AppSession::publishPostScan(std::uint64_t generation, PostScanResult r) {
    // The store's upkeep holds whatever the window shows by now.
    removeSurplus(std::move(r.surplus));
    if (generation != scanGeneration_) return;
    if (r.record) {
        openScanFile_ = r.record->fileURL;
        history_.insert(history_.begin(), std::move(*r.record));
        notify(SessionField::history);
    }
}

void AppSession::cancelScan() {
    if (!isScanning_) return;
    ++scanGeneration_;
    stopScanTask();
    setIsScanning(false);
    pulse_->setProgress(std::nullopt);
    setStatus("Scan cancelled.");
}

// --- history and navigation ----------------------------------------------

void AppSession::loadHistory(const ScanRecord& record,
                             const std::optional<std::string>& jumpToPath) {
    stopScanTask();
    const std::uint64_t generation = ++scanGeneration_;
    setIsScanning(true);
    pulse_->setProgress(WalkProgress{0, record.unreadable, record.scannedBytes, record.rootPath});
    openingScanFile_ = record.fileURL;
    auto task = std::make_shared<std::stop_source>();
    scanTask_ = task;
    detach([link = link_, generation, record, jumpToPath, stop = task->get_token()] {
        std::optional<ScanForest> forest = ScanStore::reopen(record);
        link->post(
            [generation, stop, record, forest = std::move(forest), jumpToPath](AppSession& s) {
                s.onLoaded(generation, stop, record, forest, jumpToPath);
            });
    });
}

void AppSession::onLoaded(std::uint64_t generation, std::stop_token stop, const ScanRecord& record,
                          std::optional<ScanForest> forest, std::optional<std::string> jumpToPath) {
    if (stop.stop_requested() || generation != scanGeneration_) return;
    scanTask_.reset();
    if (!forest) {
        setIsScanning(false);
        pulse_->setProgress(std::nullopt);
        setStatus("Could not open that scan.");
        return;
    }
    // The volume read for the new tree is the one holding its root.
    setScanRoot(record.rootPath);
    adoptForest(*forest, record.fileURL);

    // The latest scan of the same subject made before this one; failing
    // that, the newest other one. A scan of another folder compares nothing.
    std::optional<ScanRecord> previous;
    for (const ScanRecord& r : history_) {
        if (r.id == record.id || !isSameSubject(r, record)) continue;
        if (!previous) previous = r;
        if (r.finished < record.finished) {
            previous = r;
            break;
        }
    }
    detach([link = link_, generation, loaded = *forest, record, previous] {
        PostScanResult r;
        r.candidates = CleanupCatalog::candidates(loaded);
        r.apps = StorageInsights::apps(loaded, homeFolder());
        r.leftBehind = LinuxApps::leftBehind(loaded.nodes(),
                                             AppSources::forHome(HomePlaces::of(homeFolder())));
        if (previous && isSameSubject(*previous, record)) {
            r.changesMessage = ScanComparison::incomparable(record.context, previous->context);
            if (!r.changesMessage) {
                r.changes = ScanComparison::changeList(loaded.root(), *previous, changeLimit);
            }
            r.compared = previous;
        }
        link->post([generation, r = std::move(r)](AppSession& s) mutable {
            if (generation != s.scanGeneration_) return;
            s.cleanupCandidates_ = std::move(r.candidates);
            s.dropRowsOfMoved(false);
            s.notify(SessionField::cleanupCandidates);
            s.appFootprints_ = std::move(r.apps);
            s.notify(SessionField::appFootprints);
            s.leftBehind_ = std::move(r.leftBehind);
            s.notify(SessionField::leftBehind);
            s.changesMessage_ = std::move(r.changesMessage);
            s.notify(SessionField::changesMessage);
            s.changes_ = std::move(r.changes);
            s.notify(SessionField::changes);
            s.comparedWith_ = std::move(r.compared);
            s.notify(SessionField::comparedWith);
        });
    });

    if (jumpToPath) {
        for (const ScanNode* n : forest_->nodes()) {
            if (n->path() == *jumpToPath) {
                jumpTo(n);
                break;
            }
        }
    }
}

void AppSession::addStoredScan(const ScanRecord& record, const std::vector<ScanRecord>& removed) {
    std::erase_if(history_, [&](const ScanRecord& r) {
        return r.fileURL == record.fileURL ||
               std::any_of(removed.begin(), removed.end(),
                           [&](const ScanRecord& gone) { return gone.fileURL == r.fileURL; });
    });
    history_.insert(history_.begin(), record);
    notify(SessionField::history);
}

void AppSession::jumpToHistory(const ScanRecord& record, const std::string& path) {
    loadHistory(record, path);
}

// A file is shown in its folder, so that it is on screen and selected.
void AppSession::jumpTo(const ScanNode* node) {
    if (!forest_) return;
    const ScanNode* folder = forest_->root();
    if (node && node->isDirectory()) {
        folder = node;
    } else if (node) {
        const auto chain = ancestors(node);
        if (!chain.empty()) folder = chain.back();
    }
    moveFocus(folder);
    setSelected(node);
}

void AppSession::select(const ScanNode* node) {
    setSelected(node);
}

void AppSession::dive(const ScanNode* node) {
    if (!node) return;
    if (node->isDirectory()) moveFocus(node);
    setSelected(node);
}

void AppSession::popFocus() {
    if (nav_.back(displayRoot(), forest_ ? forest_->root() : nullptr)) {
        notify(SessionField::trail);
    }
    notify(SessionField::focus);
    setSelected(nav_.focus());
}

void AppSession::resetFocus() {
    setTrail({});
    setFocus(forest_ ? forest_->root() : nullptr);
    setSelected(nav_.focus());
}

void AppSession::goForward() {
    if (!nav_.forwardFrom(displayRoot())) return;
    notify(SessionField::trail);
    notify(SessionField::focus);
    setSelected(nav_.focus());
}

void AppSession::goUp() {
    const ScanNode* current = displayRoot();
    const auto chain = ancestors(current);
    if (chain.empty()) return;
    moveFocus(chain.back());
    setSelected(current);
}

// The desktop starts these and does not report back; a request nothing took
// would otherwise be a button that silently does nothing.
void AppSession::openTerminal(const std::string& folder) {
    if (refusedAsRemote()) return;
    if (!desktop_->openTerminal(folder)) {
        setStatus("No terminal could be started. Set $TERMINAL or install a terminal emulator.");
    }
}

void AppSession::revealInFinder(const std::string& path) {
    if (refusedAsRemote()) return;
    if (!desktop_->reveal(path)) setStatus("No file manager answered to show " + path + ".");
}

bool AppSession::isOpenScan(const ScanRecord& record) const {
    return record.fileURL == openScanFile_ || (isScanning_ && record.fileURL == openingScanFile_);
}

Status AppSession::removeStoredScan(const ScanRecord& record) {
    if (isOpenScan(record)) {
        Error e{"AppSession", 1, "That scan is open. Open another scan before removing it."};
        setStatus(e.message);
        return e;
    }
    if (isPinned(record)) {
        Error e{"AppSession", 1, "That scan is pinned. Unpin it before removing it."};
        setStatus(e.message);
        return e;
    }
    auto moved = trash_->moveToTrash(record.fileURL);
    if (!moved) {
        setStatus("The scan could not be moved to the Trash: " + moved.error().message);
        return moved.error();
    }
    std::erase_if(history_, [&](const ScanRecord& r) { return r.fileURL == record.fileURL; });
    notify(SessionField::history);
    if (volume_) refreshVolume();
    setStatus("The scan was moved to the Trash.");
    return okStatus();
}

Status AppSession::changeRetention(const std::function<void(RetentionPolicy&)>& change) {
    const std::string store = ScanStore::directory();
    // From the file: another window may have changed it since.
    RetentionPolicy policy = ScanRetention::read(store);
    change(policy);
    if (Status s = ScanRetention::write(store, policy); !s) {
        setStatus("The choice of stored scans to keep could not be saved: " + s.error().message);
        return s;
    }
    retention_ = std::move(policy);
    retentionChosen_ = true;
    notify(SessionField::retention);
    return okStatus();
}

Status AppSession::setKeepScans(std::optional<int> perFolder) {
    if (perFolder && (*perFolder < 1 || *perFolder > ScanRetention::kMaxKeep)) {
        return Error{"AppSession", 2, "Keep at least one scan of each folder."};
    }
    return changeRetention([perFolder](RetentionPolicy& p) { p.keepPerFolder = perFolder; });
}

Status AppSession::setPinned(const ScanRecord& record, bool pinned) {
    return changeRetention([&record, pinned](RetentionPolicy& p) {
        if (pinned) {
            p.pinned.insert(record.id);
        } else {
            p.pinned.erase(record.id);
        }
    });
}

void AppSession::removeSurplus(std::vector<ScanRecord> surplus) {
    // Pinned or opened since the background task chose them: they stay.
    std::erase_if(surplus, [this](const ScanRecord& r) { return isOpenScan(r) || isPinned(r); });
    if (surplus.empty()) return;
    auto isSurplus = [&surplus](const ScanRecord& r) {
        return std::any_of(surplus.begin(), surplus.end(),
                           [&r](const ScanRecord& o) { return o.fileURL == r.fileURL; });
    };
    // Gone from every list first, so that nothing can start opening them.
    std::erase_if(history_, isSurplus);
    notify(SessionField::history);
    std::erase_if(historyHits_, [&](const HistoryHit& h) { return isSurplus(h.record); });
    notify(SessionField::historyHits);
    std::erase_if(searchInput_.records, isSurplus);
    detach([link = link_, surplus = std::move(surplus)] {
        const std::string store = ScanStore::directory();
        for (const ScanRecord& r : surplus)
            (void)ScanRetention::remove(store, r);
        // The store's total has changed; so may the volume's free space.
        link->post([](AppSession& s) {
            s.notify(SessionField::history);
            if (s.volume_) s.refreshVolume();
        });
    });
}

// The scan's paths are another machine's: here they name other files, or none.
bool AppSession::refusedAsRemote() {
    if (!forest_ || !forest_->context().isRemote()) return false;
    setStatus(std::string(StagingStore::kOtherMachine));
    return true;
}

void AppSession::openItem(const std::string& path) {
    if (refusedAsRemote()) return;
    if (!desktop_->open(path)) setStatus("No application answered to open " + path + ".");
}

void AppSession::quickLook(const std::string& path) {
    if (refusedAsRemote()) return;
    if (!desktop_->preview(path)) setStatus("No application answered to preview " + path + ".");
}

// --- files ---------------------------------------------------------------------

namespace {

bool endsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

void AppSession::openScanFile(const std::string& path) {
    if (isScanning_) {
        setStatus("Finish or cancel the current scan before opening another.");
        return;
    }
    setStatus("Opening " + std::string(Path::displayName(path)) + "\u2026");
    detach([link = link_, path] {
        std::optional<ScanRecord> record;
        bool imported = false;
        std::string problem;
        if (endsWith(path, ".sqlite")) {
            record = ScanStore::record(path);
            if (record && !ScanStore::holdsRoot(*record)) record.reset();
            if (!record) problem = "That file is not a scan Tarnbeck can open.";
        } else if (endsWith(path, ".json") || endsWith(path, ".gz")) {
            auto summary = ScanFiles::importExport(path, ScanStore::directory());
            if (summary) {
                record = std::move(summary->record);
                imported = true;
            } else {
                problem = "That export could not be read: " + summary.error().message;
            }
        } else {
            problem = "Open a scan file (.sqlite) or an ncdu export (.json, .json.gz).";
        }
        link->post([record = std::move(record), imported, problem](AppSession& s) {
            if (!record) {
                s.setStatus(problem);
                return;
            }
            if (s.isScanning_) return; // a scan started meanwhile: it wins
            if (imported) {
                s.history_.insert(s.history_.begin(), *record);
                s.notify(SessionField::history);
            }
            s.setTab(AppTab::explore);
            s.loadHistory(*record);
        });
    });
}

void AppSession::exportNcdu(const std::string& target) {
    if (!forest_) {
        setStatus("Scan a folder before exporting it.");
        return;
    }
    setStatus("Exporting\u2026");
    detach([link = link_, forest = *forest_, target] {
        Status status = okStatus();
        // Readable by others, like any document; the umask rules.
        auto out = platform::OutputFile::create(target, {.mode = 0644});
        if (!out) {
            status = out.error();
        } else {
            Status written = okStatus();
            NcduJson::WriteOptions options;
            options.progver = TARNBECK_VERSION;
            options.links = &forest.links();
            const bool whole = NcduJson::write(
                *forest.root(),
                [&](std::string_view piece) {
                    written = out->write(piece);
                    return bool(written);
                },
                options);
            status = !written ? written
                     : whole  ? out->publish()
                              : Status(Error{"Export", 1, "The export was cut short."});
        }
        link->post([status, target](AppSession& s) {
            s.setStatus(status ? "Exported to " + target + "."
                               : "The export failed: " + status.error().message);
        });
    });
}

std::vector<ScanRecord> AppSession::comparableScans() const {
    std::vector<ScanRecord> out;
    if (!forest_) return out;
    const ScanContext& context = forest_->context();
    for (const ScanRecord& r : history_) {
        if (r.fileURL == openScanFile_) continue;
        if (r.context.rootPath == context.rootPath && r.context.host == context.host &&
            r.context.volumeCapacity == context.volumeCapacity)
            out.push_back(r);
    }
    return out;
}

void AppSession::compareWith(const ScanRecord& chosen) {
    if (!forest_) return;
    // The caller's list may be rebuilt by those who hear of the choice.
    const ScanRecord record = chosen;
    const std::uint64_t generation = scanGeneration_;
    const std::uint64_t asked = ++compareGeneration_;
    comparedWith_ = record;
    notify(SessionField::comparedWith);
    detach([link = link_, generation, asked, forest = *forest_, record] {
        std::optional<ChangeList> changes;
        auto message = ScanComparison::incomparable(forest.context(), record.context);
        if (!message) changes = ScanComparison::changeList(forest.root(), record, changeLimit);
        link->post([generation, asked, changes = std::move(changes),
                    message = std::move(message)](AppSession& s) mutable {
            if (generation != s.scanGeneration_ || asked != s.compareGeneration_) return;
            s.changesMessage_ = std::move(message);
            s.notify(SessionField::changesMessage);
            s.changes_ = std::move(changes);
            s.notify(SessionField::changes);
        });
    });
}

// --- the volumes overview --------------------------------------------------

void AppSession::refreshVolumes() {
    const std::uint64_t generation = ++volumesGeneration_;
    detach([link = link_, generation] {
        std::vector<VolumeRow> rows;
        std::vector<platform::MountedVolume> remote;
        for (platform::MountedVolume& v : platform::mountedVolumes()) {
            VolumeRow row;
            if (platform::isRemoteOrFuse(v.type)) {
                row.reading = true;
                remote.push_back(v);
            } else if (auto space = platform::readSpace(v.point, v.type)) {
                row.space = *space;
            } else {
                row.problem = space.error().message;
            }
            row.volume = std::move(v);
            rows.push_back(std::move(row));
        }
        link->post([generation, rows = std::move(rows)](AppSession& s) mutable {
            if (generation != s.volumesGeneration_) return;
            s.volumes_ = std::move(rows);
            s.notify(SessionField::volumes);
        });
        // Each on its own, so that one server that hangs delays no other row.
        for (platform::MountedVolume& v : remote) {
            detach([link, generation, v = std::move(v)] {
                auto space = platform::readSpace(v.point, v.type);
                link->post([generation, v, space = std::move(space)](AppSession& s) {
                    if (generation != s.volumesGeneration_) return;
                    for (VolumeRow& row : s.volumes_) {
                        if (row.volume.point != v.point || !row.reading) continue;
                        row.reading = false;
                        if (space) {
                            row.space = *space;
                        } else {
                            row.problem = space.error().message;
                        }
                    }
                    s.notify(SessionField::volumes);
                });
            });
        }
    });
}

void AppSession::scanVolume(const std::string& point) {
    if (isScanning_) {
        setStatus("Finish or cancel the current scan before choosing another folder.");
        return;
    }
    setScanRoot(point);
    setTab(AppTab::explore);
    startScan();
}

// --- start-up, volume, analyses ------------------------------------------

void AppSession::prepareWorkspaceIfNeeded() {
    if (workspacePrepared_) return;
    workspacePrepared_ = true;
    // Reading every file's meta rows can take a while on a big store, and a
    // file there may sit on a slow disk: never on the interface thread.
    detach([link = link_] {
        auto stored = ScanStore::history();
        RetentionPolicy retention = ScanRetention::read(ScanStore::directory());
        link->post([stored = std::move(stored), retention](AppSession& s) mutable {
            if (!s.retentionChosen_) {
                s.retention_ = std::move(retention);
                s.notify(SessionField::retention);
            }
            // Scans saved while the folder was read are already at the front.
            std::vector<ScanRecord> merged;
            for (ScanRecord& r : s.history_) {
                const bool listed =
                    std::any_of(stored.begin(), stored.end(),
                                [&](const ScanRecord& o) { return o.fileURL == r.fileURL; });
                if (!listed) merged.push_back(std::move(r));
            }
            merged.insert(merged.end(), std::make_move_iterator(stored.begin()),
                          std::make_move_iterator(stored.end()));
            s.history_ = std::move(merged);
            s.historyRead_ = true;
            s.notify(SessionField::history);
        });
    });
    refreshVolume();
    refreshSnapshots();
    refreshSystemReclaims();
    detach([link = link_] {
        auto wins = QuickWins::arrange(QuickWins::discover(homeFolder()));
        link->post([wins = std::move(wins)](AppSession& s) mutable {
            s.quickWins_ = std::move(wins);
            s.notify(SessionField::quickWins);
        });
    });
}

void AppSession::refreshVolume() {
    // Another machine's volume cannot be read from here, and this one's
    // figures say nothing about its scan.
    if (forest_ && forest_->context().isRemote()) {
        volume_.reset();
        notify(SessionField::volume);
        return;
    }
    // The volume that holds the scan root: a separate /home or a USB drive
    // has figures of its own.
    auto read = VolumeAccounting::read(scanRoot_.empty() ? std::string("/") : scanRoot_,
                                       VolumeAccounting::TrashMeasure::lastKnown);
    if (!read) {
        setStatus(read.error().message);
        return;
    }
    volume_ = std::move(*read);
    notify(SessionField::volume);
    pulse_->applyTruth(scannedForTruth(), unreadable(), volume_, scanRoot_);
    if (volume_->trashPending) measureTrash(volume_->trashFolders);
}

// A Trash of many thousand entries takes a while to walk: it is measured on
// a background task, and the volume read again (from that measure) after it.
void AppSession::measureTrash(std::vector<std::string> folders) {
    if (measuringTrash_) return;
    measuringTrash_ = true;
    detach([link = link_, folders = std::move(folders)] {
        VolumeAccounting::measureTrash(folders);
        link->post([](AppSession& s) {
            s.measuringTrash_ = false;
            s.refreshVolume();
        });
    });
}

void AppSession::refreshSnapshots() {
    const std::string mount = volume_ && !volume_->mountPoint.empty() ? volume_->mountPoint : "/";
    detach([link = link_, mount] {
        auto list = SnapshotService::listVolume(mount);
        link->post(
            [list = std::move(list)](AppSession& s) mutable { s.setSnapshots(std::move(list)); });
    });
}

void AppSession::refreshSystemReclaims() {
    // Container tools can take a while to answer: never on this thread.
    detach([link = link_] {
        auto found = SystemReclaims::gather(AppSources::forHome(HomePlaces::of(homeFolder())),
                                            platform::systemProcessRunner());
        link->post([found = std::move(found)](AppSession& s) mutable {
            s.setSystemReclaims(std::move(found));
        });
    });
}

void AppSession::setSystemReclaims(std::vector<SystemReclaim> found) {
    if (found == systemReclaims_) return;
    systemReclaims_ = std::move(found);
    notify(SessionField::systemReclaims);
}

void AppSession::findDuplicates() {
    if (isFindingDuplicates_ || !forest_) return;
    isFindingDuplicates_ = true;
    notify(SessionField::isFindingDuplicates);
    setStatus("Matching file contents\u2026");
    detach([link = link_, forest = *forest_] {
        auto groups = DuplicateFinder::groups(forest.nodes(), DuplicateFinder::defaultLimit);
        link->post([groups = std::move(groups)](AppSession& s) mutable {
            s.isFindingDuplicates_ = false;
            s.notify(SessionField::isFindingDuplicates);
            s.duplicates_ = std::move(groups);
            s.dropRowsOfMoved(false);
            const auto count = s.duplicates_.size();
            s.notify(SessionField::duplicates);
            s.setStatus(count > 0 ? "Found " + CountText::of(std::int64_t(count), "group") + "."
                                  : "No content matches in this scan.");
        });
    });
}

void AppSession::searchLeftovers() {
    const std::string query(QueryText::trimmed(leftoverQuery_));
    std::optional<ScanForest> forest = forest_;
    detach([link = link_, query, forest] {
        const std::string home = homeFolder();
        std::vector<Leftover> found;
        if (!query.empty() || !forest) {
            found = Uninstaller::leftovers(query, query, home, forest ? forest->root() : nullptr);
        } else {
            found = Uninstaller::graph(*forest->root(),
                                       std::span<const ScanNode* const>(forest->nodes()), home);
        }
        link->post([found = std::move(found)](AppSession& s) mutable {
            s.leftovers_ = std::move(found);
            s.notify(SessionField::leftovers);
        });
    });
}

void AppSession::stage(const CleanupCandidate& candidate) {
    staging_->stage(candidate);
}

void AppSession::stageDuplicate(const std::string& path, std::int64_t bytes,
                                const std::string& reason) {
    staging_->stage(path, std::string(Path::lastComponent(path)), bytes, reason);
}

// --- search ----------------------------------------------------------------

void AppSession::scheduleSearch() {
    // Whatever an earlier search still finds is outdated from now on.
    ++searchSerial_;
    if (searchTask_) searchTask_->request_stop();
    searchInput_.query = searchQuery_;
    searchInput_.forest = forest_;
    // The scan on display is searched in memory, whole; its stored file
    // would only repeat those hits, or list the ones the cut left out.
    searchInput_.records.clear();
    for (const ScanRecord& record : history_) {
        if (searchInput_.records.size() == 3) break;
        if (!isOpenScan(record)) searchInput_.records.push_back(record);
    }
    searchTimer_->start(); // restarting drops the pending run
}

void AppSession::runSearch() {
    SearchInput input = std::move(searchInput_);
    searchInput_ = {};
    searchTask_ = std::make_shared<std::stop_source>();
    const std::uint64_t serial = searchSerial_;
    detach([link = link_, input = std::move(input), serial, stop = searchTask_->get_token()] {
        IndexSearch::RankedHits ranked;
        if (input.forest) {
            ranked = IndexSearch::rankedHits(input.query, input.forest->nodes(),
                                             IndexSearch::rankedLimit, stop);
        }
        if (stop.stop_requested()) return;
        std::unordered_set<std::string> seen;
        const bool searchStored = Utf8::characters(QueryText::trimmed(input.query)) >= 2;
        if (searchStored) {
            for (const ScanNode* n : ranked.hits)
                seen.insert(n->path());
        }
        // The open scan's hits go up at once; each stored scan's follow as
        // its file has been read.
        link->post(
            [serial, forest = input.forest, ranked = std::move(ranked)](AppSession& s) mutable {
                if (s.searchSerial_ != serial || !(s.forest_ == forest)) return;
                s.searchHits_ = std::move(ranked.hits);
                s.searchMatchCount_ = ranked.matched;
                s.searchHitsForest_ = std::move(forest);
                s.notify(SessionField::searchHits);
                s.historyHits_.clear();
                s.notify(SessionField::historyHits);
            });
        if (!searchStored) return;
        for (const ScanRecord& record : input.records) {
            if (stop.stop_requested()) return;
            std::vector<HistoryHit> stored;
            for (auto& row : ScanStore::search(record, input.query, 6, stop)) {
                if (seen.count(row.path)) continue;
                stored.push_back(
                    {record, std::move(row.name), std::move(row.path), row.allocatedSize});
            }
            if (stored.empty()) continue;
            link->post([serial, forest = input.forest, stored = std::move(stored)](AppSession& s) {
                if (s.searchSerial_ != serial || !(s.forest_ == forest)) return;
                s.historyHits_.insert(s.historyHits_.end(), stored.begin(), stored.end());
                s.notify(SessionField::historyHits);
            });
        }
    });
}

// --- the tree follows the Trash ------------------------------------------

namespace {

bool insideAny(std::string_view path, const std::vector<MovedItem>& moved) {
    return std::any_of(moved.begin(), moved.end(),
                       [&](const MovedItem& m) { return Path::isSameOrInside(path, m.path); });
}

} // namespace

void AppSession::onMoved(const std::vector<OperationReceipt>& receipts) {
    if (!forest_) return;
    const ScanForest before = *forest_;
    std::vector<std::string> paths;
    std::vector<MovedItem> moved;
    for (const auto& r : receipts) {
        const ScanNode* n = ForestEdit::nodeAt(before, r.originalURL);
        if (!n || n == before.root()) continue;
        paths.push_back(r.originalURL);
        moved.push_back({r.originalURL, n->allocatedSize()});
    }
    auto edited = ForestEdit::without(before, paths, nodesToFollow());
    if (!edited) return;
    // What the tree lost: a name of a file kept elsewhere frees nothing.
    const std::int64_t lost =
        before.root()->allocatedSize() - edited->forest.root()->allocatedSize();
    std::int64_t listed = 0;
    for (const auto& m : moved)
        listed += m.bytes;
    if (listed != lost && moved.size() == 1) moved.front().bytes = lost;
    movedToTrash_.insert(movedToTrash_.end(), moved.begin(), moved.end());
    replaceForest(std::move(*edited));
    dropRowsOfMoved(true);
    notify(SessionField::movedToTrash);
}

void AppSession::onRestored(const OperationReceipt& receipt) {
    if (!forest_) return;
    const auto was =
        std::find_if(movedToTrash_.begin(), movedToTrash_.end(),
                     [&](const MovedItem& m) { return m.path == receipt.originalURL; });
    if (was == movedToTrash_.end()) {
        // Not from this tree, unless it lies in it and was moved before
        // the tree was made.
        if (ForestEdit::nodeAt(*forest_, receipt.originalURL)) return;
        if (!Path::isSameOrInside(receipt.originalURL, forest_->root()->path())) return;
    } else {
        movedToTrash_.erase(was);
        notify(SessionField::movedToTrash);
    }
    const std::uint64_t generation = scanGeneration_;
    const std::string path = receipt.originalURL;
    const HardLinkMode mode = forest_->links().mode();
    detach([link = link_, generation, path, mode] {
        auto item = ForestEdit::walkItem(path, mode);
        if (!item) return;
        link->post([generation, item = std::move(*item)](AppSession& s) {
            if (generation != s.scanGeneration_ || !s.forest_) return;
            const ScanForest before = *s.forest_;
            if (auto edited = ForestEdit::with(before, item, s.nodesToFollow())) {
                s.replaceForest(std::move(*edited));
            }
        });
    });
}

// The nodes the session points at, with the folders above the selection
// and the focus, which take their place when they leave.
std::vector<const ScanNode*> AppSession::nodesToFollow() const {
    std::vector<const ScanNode*> follow(nav_.trail().begin(), nav_.trail().end());
    follow.insert(follow.end(), nav_.forward().begin(), nav_.forward().end());
    follow.insert(follow.end(), searchHits_.begin(), searchHits_.end());
    for (const ScanNode* n : {selected_, nav_.focus()}) {
        for (; n; n = n->parent())
            follow.push_back(n);
    }
    return follow;
}

void AppSession::replaceForest(ForestEdit::Edited edited) {
    auto copyOf = [&](const ScanNode* n) -> const ScanNode* {
        for (; n; n = n->parent()) {
            if (auto it = edited.copies.find(n); it != edited.copies.end()) return it->second;
        }
        return nullptr;
    };
    auto exactCopy = [&](const ScanNode* n) -> const ScanNode* {
        auto it = edited.copies.find(n);
        return it == edited.copies.end() ? nullptr : it->second;
    };
    const ScanNode* selected = copyOf(selected_);
    std::vector<const ScanNode*> hits;
    for (const ScanNode* n : searchHits_) {
        if (const ScanNode* copy = exactCopy(n)) hits.push_back(copy);
    }
    nav_.remap(exactCopy, edited.forest.root());

    forest_ = std::move(edited.forest);
    staging_->setForest(*forest_);
    selected_ = selected ? selected : nav_.focus();
    if (!searchHits_.empty()) {
        searchMatchCount_ -= std::min(searchMatchCount_, searchHits_.size() - hits.size());
        searchHits_ = std::move(hits);
        searchHitsForest_ = forest_;
    }
    // Every pointer is into the new tree before anyone hears of it.
    for (SessionField f : {SessionField::forest, SessionField::trail, SessionField::focus,
                           SessionField::selected, SessionField::searchHits})
        notify(f);
    if (volume_) pulse_->applyTruth(scannedForTruth(), unreadable(), volume_, scanRoot_);
    // A search in flight read the old tree; its hits would lead nowhere.
    if (!searchQuery_.empty()) scheduleSearch();
}

// The volume's figures take a Trash inside the scanned folder off what was
// scanned, as the tree held it when scanned. What moved into it since has
// left the tree already: it is given back first, or it would go twice.
std::int64_t AppSession::scannedForTruth() const {
    std::int64_t scanned = scannedBytes();
    if (!volume_ || isScanning_) return scanned;
    const bool trashInScan =
        std::any_of(volume_->trashFolders.begin(), volume_->trashFolders.end(),
                    [&](const std::string& t) { return Path::isSameOrInside(t, scanRoot_); });
    if (!trashInScan) return scanned;
    for (const auto& m : movedToTrash_)
        scanned += m.bytes;
    return scanned;
}

// Every list drops the rows of what went to the Trash.
void AppSession::dropRowsOfMoved(bool announce) {
    if (movedToTrash_.empty()) return;
    const auto& moved = movedToTrash_;
    const auto candidates = std::erase_if(
        cleanupCandidates_, [&](const CleanupCandidate& c) { return insideAny(c.url, moved); });
    const auto wins =
        std::erase_if(quickWins_, [&](const QuickWin& w) { return insideAny(w.url, moved); });
    std::size_t duplicates = 0;
    for (auto& group : duplicates_) {
        duplicates +=
            std::erase_if(group.paths, [&](const std::string& p) { return insideAny(p, moved); });
    }
    duplicates +=
        std::erase_if(duplicates_, [](const DuplicateGroup& g) { return g.paths.size() < 2; });
    if (!announce) return;
    if (candidates > 0) notify(SessionField::cleanupCandidates);
    if (wins > 0) notify(SessionField::quickWins);
    if (duplicates > 0) notify(SessionField::duplicates);
}

} // namespace tb
