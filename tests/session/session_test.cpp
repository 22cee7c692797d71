#include <QSignalSpy>

#include <algorithm>

#include <unistd.h>

#include "session/scan_pulse.h"
#include "store/index_search.h"
#include "store/scan_store.h"
#include "support/session_scan.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using namespace tb::test;

class RecordingDesktop : public platform::Desktop {
public:
    std::optional<std::string> chosen;
    std::vector<std::string> calls;
    std::optional<std::string> chooseFolder(const std::string& start,
                                            const std::string& label) override {
        calls.push_back("choose " + start + " " + label);
        return chosen;
    }
    bool answers = true;
    bool reveal(const std::string& p) override { return record("reveal " + p); }
    bool open(const std::string& p) override { return record("open " + p); }
    bool preview(const std::string& p) override { return record("preview " + p); }
    bool openAddress(const std::string& a) override { return record("address " + a); }
    bool record(std::string call) {
        calls.push_back(std::move(call));
        return answers;
    }
};

class SessionTest : public SessionInHome {
protected:
    void SetUp() override {
        putSized(work() + "/a.bin", 5000, 1);
        putSized(work() + "/sub/b.bin", 9000, 2);
        session = std::make_unique<AppSession>(desktop);
    }

    std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
};

TEST_F(SessionTest, ScanPublishesForestThenAnalysesAndRecord) {
    QSignalSpy progress(&session->pulse(), &ScanPulse::changed);
    session->setScanRoot(work());
    session->startScan();
    const auto generation = session->scanGeneration();
    session->startScan(); // ignored while scanning
    EXPECT_EQ(session->scanGeneration(), generation);
    EXPECT_TRUE(session->isScanning());
    ASSERT_TRUE(session->pulse().progress());
    EXPECT_EQ(session->pulse().progress()->currentPath, work());

    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    ASSERT_TRUE(session->forest());
    const ScanNode* root = session->forest()->root();
    EXPECT_EQ(root->path(), work());
    EXPECT_EQ(session->selected(), root);
    EXPECT_EQ(session->focus(), root);
    EXPECT_FALSE(session->pulse().progress());
    EXPECT_EQ(session->scannedBytes(), root->allocatedSize());
    EXPECT_TRUE(session->volume());
    EXPECT_TRUE(session->pulse().truth());
    EXPECT_GE(progress.count(), 1);

    ASSERT_TRUE(waitUntil([&] { return session->history().size() == 1; }));
    EXPECT_EQ(session->history().front().rootPath, work());
    EXPECT_TRUE(session->changes().empty()); // nothing earlier to compare with
    EXPECT_EQ(ScanStore::history().size(), 1u);
}

// One report is one redraw: the progress and the truth it implies land together.
TEST(ScanPulseTest, OneReportNotifiesOnce) {
    ScanPulse pulse;
    QSignalSpy changed(&pulse, &ScanPulse::changed);
    WalkProgress progress;
    progress.currentPath = "/r/a";
    pulse.apply(progress, VolumeSnapshot{"/", "Disk", 1000, 300, 300, 300}, std::string("/r"));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(pulse.progress());
    EXPECT_TRUE(pulse.truth());
}

TEST_F(SessionTest, SecondScanOfTheSameFolderYieldsChanges) {
    scan(work());
    // A window that scans before its history is read compares all the same.
    writeSizedFile(work() + "/sub/newer.bin", 2'000'000, 4);
    AppSession fresh;
    scanAndWait(fresh, work());
    EXPECT_FALSE(fresh.changes().empty());

    // Another folder is another subject: nothing to compare.
    scan(work() + "/sub");
    EXPECT_TRUE(session->changes().empty());
}

// Counting a hard-linked file once or once per name moves folder totals with
// nothing changed on disk: such scans say they were not compared.
TEST_F(SessionTest, ScansCountingHardLinksDifferentlyAreNotCompared) {
    putSized(work() + "/big.bin", 3'000'000, 5);
    ASSERT_EQ(::link((work() + "/big.bin").c_str(), (work() + "/sub/big.bin").c_str()), 0);
    EXPECT_EQ(session->hardLinks(), HardLinkMode::once);
    scan(work());
    const std::int64_t once = session->forest()->root()->allocatedSize();
    session->setHardLinks(HardLinkMode::every);
    scan(work());
    EXPECT_EQ(session->forest()->context().hardLinks, HardLinkMode::every);
    EXPECT_GT(session->forest()->root()->allocatedSize(), once);
    EXPECT_TRUE(session->changes().empty());
    ASSERT_TRUE(session->changesMessage());
    EXPECT_NE(session->changesMessage()->find("Not compared"), std::string::npos);
    const ScanRecord every = session->history().front();

    session->setHardLinks(HardLinkMode::once);
    scan(work());
    scan(work());
    EXPECT_FALSE(session->changesMessage());
    EXPECT_TRUE(session->changes().empty());
    EXPECT_EQ(session->forest()->root()->allocatedSize(), once);

    // Reopened, the scan counting every name keeps its totals and is not
    // compared with the newest scan either.
    session->loadHistory(every);
    ASSERT_TRUE(waitUntil([&] { return session->changesMessage().has_value(); }));
    EXPECT_GT(session->forest()->root()->allocatedSize(), once);
}

TEST_F(SessionTest, CancelKeepsThePreviousForestAndDropsLateResults) {
    scan(work());
    const ScanNode* before = session->forest()->root();
    session->cancelScan(); // idle: nothing happens
    EXPECT_FALSE(session->statusMessage());

    session->setScanRoot(work() + "/sub");
    session->startScan();
    session->cancelScan();
    EXPECT_FALSE(session->isScanning());
    EXPECT_EQ(session->statusMessage(), "Scan cancelled.");
    EXPECT_FALSE(session->pulse().progress());
    settle(400);
    EXPECT_EQ(session->forest()->root(), before);
    EXPECT_FALSE(session->pulse().progress());
    EXPECT_EQ(session->history().size(), 1u);
    // Loading a stored scan during a scan cancels the scan.
    session->startScan();
    session->loadHistory(session->history().front());
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    settle(300);
    EXPECT_EQ(session->forest()->root()->path(), work());
    EXPECT_EQ(session->history().size(), 1u);

    // Cancelled, then started again: only the second scan is published.
    session->startScan();
    session->cancelScan();
    scan(work() + "/sub");
    settle(300);
    EXPECT_EQ(session->forest()->root()->path(), work() + "/sub");
    ASSERT_EQ(session->history().size(), 2u);
    EXPECT_EQ(session->history().front().rootPath, work() + "/sub");
}

TEST_F(SessionTest, ADroppedFolderScansAndAnythingElseIsRefusedWithAReason) {
    session->handleDroppedFolder(std::nullopt);
    EXPECT_EQ(session->statusMessage(), "That item could not be opened as a folder.");
    session->handleDroppedFolder(work() + "/a.bin");
    EXPECT_EQ(session->statusMessage(),
              "Drop a folder to scan. Files are not supported as scan roots.");
    session->handleDroppedFolder(work() + "/missing");
    EXPECT_EQ(session->statusMessage(),
              "Drop a folder to scan. Files are not supported as scan roots.");

    makeDirs(home.home() + "/Projects");
    session->handleDroppedFolder(home.home() + "/work/../Projects/.");
    EXPECT_EQ(session->scanRoot(), home.home() + "/Projects");
    EXPECT_EQ(session->tab(), AppTab::explore);
    EXPECT_EQ(session->statusMessage(), "Scanning Projects\u2026");
    EXPECT_TRUE(session->isScanning());
    session->handleDroppedFolder(work());
    EXPECT_EQ(session->statusMessage(),
              "Finish or cancel the current scan before choosing another folder.");
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
}

TEST_F(SessionTest, ChooseRootScansTheChosenFolderAndDuringAScanOnlySetsTheNextRoot) {
    EXPECT_FALSE(session->forest());
    session->chooseRoot(); // nothing chosen: the home folder stays, nothing scans
    EXPECT_EQ(session->scanRoot(), home.home());
    EXPECT_FALSE(session->isScanning());
    EXPECT_EQ(desktop->calls.back(), "choose " + home.home() + " Scan");

    desktop->chosen = work();
    session->chooseRoot();
    EXPECT_EQ(session->scanRoot(), work());
    EXPECT_TRUE(session->isScanning());
    // Chosen while that scan runs: the button says so, and the scan goes on.
    const auto generation = session->scanGeneration();
    desktop->chosen = work() + "/sub";
    session->chooseRoot();
    EXPECT_EQ(desktop->calls.back(), "choose " + work() + " Choose");
    EXPECT_EQ(session->scanRoot(), work() + "/sub");
    EXPECT_EQ(session->scanGeneration(), generation);
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    ASSERT_TRUE(session->forest());
    EXPECT_EQ(session->forest()->root()->path(), work());
}

TEST_F(SessionTest, HandOffsReachTheDesktopAndOnesNothingTookAreSaid) {
    session->revealInFinder("/x");
    session->openItem("/y");
    session->quickLook("/z");
    EXPECT_EQ(desktop->calls, (std::vector<std::string>{"reveal /x", "open /y", "preview /z"}));
    EXPECT_FALSE(session->statusMessage());

    // A hand-off nothing took is said, not a button that does nothing.
    desktop->answers = false;
    session->openItem("/y");
    EXPECT_EQ(session->statusMessage(), "No application answered to open /y.");
    session->openTerminal("/t");
    ASSERT_TRUE(session->statusMessage());
    EXPECT_NE(session->statusMessage()->find("No terminal"), std::string::npos);
}

TEST_F(SessionTest, AnotherMachinesScanJoinsTheHistoryAndIsHandedToNothingHere) {
    const ScanForest walked = scanFolder(work());
    ScanContext there = walked.context();
    there.host = "nas";
    const ScanForest remote(walked.tree(), walked.unreadable(), walked.visited(), there);
    // This machine's scan of the same path, on a volume of the same size.
    auto local = ScanStore::saveIn(ScanStore::directory(), walked, work());
    ASSERT_TRUE(local);
    session->addStoredScan(*local, {});
    auto record = ScanStore::saveIn(ScanStore::directory(), remote, work());
    ASSERT_TRUE(record);
    session->addStoredScan(*record, {});
    ASSERT_FALSE(session->history().empty());
    EXPECT_EQ(session->history().front().fileURL, record->fileURL);
    session->loadHistory(*record);
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    ASSERT_TRUE(session->forest());
    EXPECT_EQ(session->forest()->context().host, "nas");
    EXPECT_TRUE(session->comparableScans().empty()); // nor compared with this one's

    session->revealInFinder(work() + "/a.bin");
    session->openItem(work() + "/a.bin");
    session->quickLook(work() + "/a.bin");
    session->openTerminal(work());
    // Nor is any of its folders walked again here.
    const auto generation = session->scanGeneration();
    session->refreshFolder(node(work() + "/sub"));
    session->refreshFolder(session->forest()->root());
    EXPECT_FALSE(session->isRefreshing() || session->isScanning());
    EXPECT_EQ(session->scanGeneration(), generation);
    EXPECT_TRUE(desktop->calls.empty());
    EXPECT_EQ(session->statusMessage(), std::string(StagingStore::kOtherMachine));
    EXPECT_FALSE(session->volume()); // that machine's volume is not this one's
}

// Back, Forward and Up are the navigation value's tests: here, what the session adds.
TEST_F(SessionTest, JumpUpBackAndForwardMoveThroughTheFocusHistory) {
    putSized(work() + "/sub/deep/lib/c.bin", 4000, 3);
    scan(work());
    const ScanNode* root = session->forest()->root();
    const ScanNode* lib = node(work() + "/sub/deep/lib");
    const ScanNode* file = node(work() + "/sub/deep/lib/c.bin");
    session->dive(file); // a file is only selected
    EXPECT_EQ(session->focus(), root);
    session->dive(lib);
    session->goUp();
    EXPECT_EQ(session->focus(), node(work() + "/sub/deep"));
    EXPECT_EQ(session->selected(), lib); // where we came from
    session->popFocus();
    EXPECT_EQ(session->focus(), lib);
    session->popFocus();
    session->goForward();
    EXPECT_EQ(session->focus(), lib);

    session->resetFocus();
    session->goUp(); // the root has no parent
    EXPECT_EQ(session->focus(), root);
    // A jump shows a file in its folder; Back returns.
    session->jumpTo(file);
    EXPECT_EQ(session->focus(), lib);
    EXPECT_EQ(session->selected(), file);
    session->popFocus();
    EXPECT_EQ(session->focus(), root);
}

TEST_F(SessionTest, ReopensStoredScansAndReportsMissingOnes) {
    scan(work());
    writeSizedFile(work() + "/c.bin", 3'000'000, 4);
    scan(work());
    const ScanRecord oldest = session->history().back();
    const ScanNode* current = session->forest()->root();

    const auto changesBefore = session->changes();
    session->loadHistory(oldest, work() + "/sub/b.bin");
    EXPECT_TRUE(session->isScanning());
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    ASSERT_TRUE(session->forest());
    EXPECT_NE(session->forest()->root(), current);
    EXPECT_EQ(session->scanRoot(), work());
    ASSERT_TRUE(session->selected());
    EXPECT_EQ(session->selected()->path(), work() + "/sub/b.bin");
    EXPECT_EQ(session->focus()->path(), work() + "/sub"); // the file's own folder
    // The oldest scan is compared with the newest: c.bin is "removed".
    ASSERT_TRUE(waitUntil([&] { return session->changes() != changesBefore; }));
    const auto& changes = session->changes();
    EXPECT_TRUE(std::any_of(changes.begin(), changes.end(), [&](const ScanChange& c) {
        return c.kind == ScanChange::Kind::removed && c.path == work() + "/c.bin";
    }));

    const ScanNode* shown = session->forest()->root();
    ASSERT_EQ(::unlink(oldest.fileURL.c_str()), 0);
    session->loadHistory(oldest);
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    EXPECT_EQ(session->statusMessage(), "Could not open that scan.");
    EXPECT_EQ(session->forest()->root(), shown);
}

// Only the largest 500 matches are kept in memory; the open scan's stored
// file would list some of the rest as "past scans", which they are not.
TEST_F(SessionTest, SearchCountsEveryMatchAndNeverSearchesTheOpenScanAsAPastOne) {
    for (int i = 0; i < 510; ++i)
        putSized(work() + "/small/needle_" + std::to_string(i), 100, unsigned(i));
    putSized(work() + "/needles/big.bin", 2'000'000, 1); // matches by its path only
    putSized(work() + "/\u00e9.bin", 100, 3);
    scan(work());
    ASSERT_EQ(session->history().size(), 1u);
    session->setSearchQuery("needle");
    ASSERT_TRUE(waitUntil([&] { return !session->searchHits().empty(); }));
    settle(50);
    EXPECT_EQ(session->searchHits().size(), IndexSearch::rankedLimit);
    EXPECT_EQ(session->searchMatchCount(), 512u); // the files, the folder and big.bin
    EXPECT_TRUE(session->historyHits().empty());

    // A scan made before the open one is searched.
    scan(work());
    session->setSearchQuery("big.bin");
    ASSERT_TRUE(waitUntil([&] { return session->searchHits().size() == 1; }));
    ASSERT_TRUE(waitUntil([&] { return session->searchMatchCount() == 1; }));
    EXPECT_TRUE(session->historyHits().empty()); // the same path as the hit in memory
    ASSERT_EQ(::unlink((work() + "/needles/big.bin").c_str()), 0);
    ASSERT_EQ(::unlink((work() + "/\u00e9.bin").c_str()), 0);
    scan(work());
    session->setSearchQuery("big.bin");
    // Each earlier scan's hits are added as its file has been read, newest first.
    ASSERT_TRUE(waitUntil([&] { return session->historyHits().size() == 2; }));
    EXPECT_TRUE(session->searchHits().empty());
    EXPECT_EQ(session->searchMatchCount(), 0u);
    for (const HistoryHit& hit : session->historyHits())
        EXPECT_FALSE(session->isOpenScan(hit.record));
    ASSERT_EQ(session->history().size(), 3u);
    EXPECT_EQ(session->historyHits()[0].record, session->history()[1]);
    EXPECT_EQ(session->historyHits()[1].record, session->history()[2]);
    settle(100);
    EXPECT_EQ(session->historyHits().size(), 2u);
    // Stored scans are searched for two characters or more, whatever their bytes.
    for (const char* one : {"b", "\u00e9"}) {
        session->setSearchQuery(one);
        settle(400);
        EXPECT_TRUE(session->historyHits().empty()) << one;
    }
}

// The window reads the volume every few seconds: the Trash is never walked
// there, only measured on a background task and published after.
TEST_F(SessionTest, TheTrashIsMeasuredOffTheInterfaceThreadAndThenShown) {
    putSized(home.dataHome() + "/Trash/files/old.bin", 400'000, 3);
    session->refreshVolume();
    ASSERT_TRUE(session->volume());
    EXPECT_TRUE(session->volume()->trashPending);
    EXPECT_EQ(session->volume()->trashBytes, 0);
    ASSERT_TRUE(waitUntil([&] { return !session->volume()->trashPending; }));
    EXPECT_GE(session->volume()->trashBytes, 400'000);
    session->refreshVolume(); // unchanged since: the measure stands
    EXPECT_FALSE(session->volume()->trashPending);
}

TEST_F(SessionTest, SearchWaitsForTheLastKeystrokeAndDropsOutdatedResults) {
    scan(work());
    QSignalSpy spy(session.get(), &AppSession::changed);
    session->setSearchQuery("s");
    session->setSearchQuery("su");
    session->setSearchQuery("sub");
    ASSERT_TRUE(waitUntil([&] { return !session->searchHits().empty(); }));
    settle(300);
    int published = 0;
    for (const auto& args : spy) {
        if (args.at(0).value<SessionField>() == SessionField::searchHits) ++published;
    }
    EXPECT_EQ(published, 1);
    EXPECT_EQ(session->searchHits().front()->name(), "sub");
    // The stored scan holds the same paths as the tree: nothing extra listed.
    EXPECT_TRUE(session->historyHits().empty());

    session->setSearchQuery("   ");
    ASSERT_TRUE(waitUntil([&] { return session->searchHits().empty(); }));
    EXPECT_TRUE(session->historyHits().empty());

    // Typed while a scan runs: searched again in the new tree.
    session->startScan();
    session->setSearchQuery("sub");
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    ASSERT_TRUE(waitUntil([&] { return !session->searchHits().empty(); }));
    EXPECT_EQ(session->searchHits().front()->name(), "sub");
}

TEST_F(SessionTest, DuplicatesAndLeftoversCommands) {
    session->findDuplicates(); // no forest: nothing
    EXPECT_FALSE(session->isFindingDuplicates());

    scan(work());
    session->findDuplicates();
    EXPECT_TRUE(session->isFindingDuplicates());
    EXPECT_EQ(session->statusMessage(), "Matching file contents\u2026");
    ASSERT_TRUE(waitUntil([&] { return !session->isFindingDuplicates(); }));
    EXPECT_EQ(session->statusMessage(), "No content matches in this scan.");
    // A found group and queueing one of its copies: the session flow test.

    putSized(home.home() + "/Library/Application Support/Widget/state", 2000, 9);
    session->setLeftoverQuery("  Widget ");
    session->searchLeftovers();
    ASSERT_TRUE(waitUntil([&] { return !session->leftovers().empty(); }, 5000))
        << "no leftovers found for Widget";
}

TEST_F(SessionTest, PrepareWorkspaceRunsOnce) {
    scan(work());
    AppSession fresh;
    fresh.prepareWorkspaceIfNeeded();
    EXPECT_TRUE(fresh.volume());
    EXPECT_EQ(fresh.unreadable(), 0);
    ASSERT_TRUE(waitUntil([&] { return fresh.history().size() == 1; }));
    scan(work()); // a second file in the store
    fresh.prepareWorkspaceIfNeeded();
    settle(200);
    EXPECT_EQ(fresh.history().size(), 1u);
}

// The rule made for one item names that item only, whatever its name holds;
// the next scan leaves it out and stores that it did.
TEST_F(SessionTest, ExcludingAnItemLeavesOutThatItemOnlyFromTheNextScan) {
    putSized(work() + "/we[ir]d*.bin", 7000, 3);
    putSized(work() + "/wed.bin", 7000, 4);
    scan(work());
    const ScanNode* odd = node(work() + "/we[ir]d*.bin");
    ASSERT_TRUE(odd);
    session->excludeNode(odd);
    EXPECT_EQ(session->excludePatterns().back(), "/we\\[ir]d\\*.bin");
    session->excludeNode(session->forest()->root()); // never the root
    EXPECT_EQ(session->excludePatterns().size(), ExcludeRules::snapshotPatterns().size() + 1);
    EXPECT_EQ(node(work() + "/we[ir]d*.bin")->leftOut(),
              LeftOutKind::none); // the forest on display stays as it was

    scan(work());
    EXPECT_EQ(node(work() + "/we[ir]d*.bin")->leftOut(), LeftOutKind::excluded);
    EXPECT_EQ(node(work() + "/wed.bin")->leftOut(), LeftOutKind::none);
    EXPECT_GT(node(work() + "/wed.bin")->allocatedSize(), 0);
    ASSERT_FALSE(session->history().empty());
    EXPECT_EQ(session->history().front().context.leftOutCount, 1);
}

} // namespace
} // namespace tb
