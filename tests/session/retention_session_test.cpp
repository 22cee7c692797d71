#include <algorithm>

#include "store/scan_retention.h"
#include "store/scan_store.h"
#include "support/session_scan.h"

namespace tb {
namespace {

class SessionRetention : public test::SessionInHome {
protected:
    SessionRetention() { test::put(tree + "/f", "data"); }

    std::size_t scansOf(const std::string& root) const {
        return std::count_if(session->history().begin(), session->history().end(),
                             [&](const ScanRecord& r) { return r.rootPath == root; });
    }

    std::string tree = home.home() + "/tree";
    std::string other = home.home() + "/other";
};

TEST_F(SessionRetention, SavingAScanDeletesTheFoldersOldScansButNeverAPinnedOne) {
    test::put(other + "/g", "data");
    session->prepareWorkspaceIfNeeded();
    ASSERT_TRUE(test::waitUntil([&] { return session->retention().keepPerFolder == 5; }));
    ASSERT_TRUE(session->setKeepScans(1));
    scan(other);
    const ScanRecord otherScan = session->history().front();
    scan(tree);
    const ScanRecord pinned = session->history().front();
    ASSERT_TRUE(session->setPinned(pinned, true));
    scan(tree);
    const ScanRecord second = session->history().front();
    scan(tree);
    // The oldest unpinned scan of the tree leaves the history and the disk;
    // the other folder's single scan stays.
    ASSERT_TRUE(test::waitUntil([&] { return !test::exists(second.fileURL); }));
    EXPECT_TRUE(test::exists(pinned.fileURL));
    EXPECT_TRUE(test::exists(otherScan.fileURL));
    EXPECT_EQ(scansOf(tree), 2u);
    EXPECT_EQ(scansOf(other), 1u);
    // Nothing of it went to the Trash: it was our own file.
    EXPECT_FALSE(test::exists(home.dataHome() + "/Trash/files"));
    EXPECT_FALSE(session->removeStoredScan(pinned));
    EXPECT_TRUE(test::exists(pinned.fileURL));

    ASSERT_TRUE(session->setPinned(pinned, false));
    scan(tree);
    ASSERT_TRUE(test::waitUntil([&] { return !test::exists(pinned.fileURL); }));
    EXPECT_EQ(scansOf(tree), 1u);
}

TEST_F(SessionRetention, ChoicesLastIntoTheNextLaunch) {
    session->prepareWorkspaceIfNeeded();
    scan(tree);
    const ScanRecord pinned = session->history().front();
    ASSERT_TRUE(session->setKeepScans(std::nullopt));
    ASSERT_TRUE(session->setPinned(pinned, true));
    EXPECT_FALSE(session->setKeepScans(0));
    EXPECT_EQ(session->retention().keepPerFolder, std::nullopt);
    session.reset();

    AppSession next;
    EXPECT_FALSE(next.isPinned(pinned)); // nothing read before the workspace is prepared
    next.prepareWorkspaceIfNeeded();
    ASSERT_TRUE(test::waitUntil([&] { return next.isPinned(pinned); }));
    EXPECT_EQ(next.retention().keepPerFolder, std::nullopt);
    // "All": nothing goes however many scans there are.
    for (int i = 0; i < 6; ++i)
        test::scanAndWait(next, tree);
    test::settle(100);
    EXPECT_EQ(ScanStore::history().size(), 7u);
}

} // namespace
} // namespace tb
