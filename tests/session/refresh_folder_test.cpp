#include <unistd.h>

#include "store/scan_store.h"
#include "support/session_scan.h"

namespace tb {
namespace {

using namespace tb::test;

class RefreshFolder : public SessionInHome {
protected:
    void SetUp() override {
        putSized(work() + "/a.bin", 5000, 1);
        putSized(work() + "/sub/b.bin", 9000, 2);
        putSized(work() + "/sub/gone.bin", 3000, 3);
        putSized(work() + "/sub/deep/c.bin", 4000, 4);
        putSized(work() + "/sub/skip/hidden.bin", 7000, 5);
        putSized(work() + "/sub/disc.iso", 8000, 6);
        // One rule anchored at the scan's root, one on names.
        session->setExcludePatterns({"/sub/skip/", "*.iso"});
    }

    void refreshAndWait(const std::string& path) {
        const std::string front = session->history().front().fileURL;
        session->refreshFolder(node(path));
        ASSERT_TRUE(session->isRefreshing());
        ASSERT_TRUE(waitUntil([&] { return session->history().front().fileURL != front; }));
        ASSERT_FALSE(session->isRefreshing());
    }
    // Inside sub only.
    void changeSub() {
        putSized(work() + "/sub/b.bin", 19000, 2);
        ASSERT_EQ(::unlink((work() + "/sub/gone.bin").c_str()), 0);
        putSized(work() + "/sub/deep/new.bin", 6000, 7);
        putSized(work() + "/sub/skip/more.bin", 9000, 8);
        putSized(work() + "/sub/deep/other.iso", 9000, 9);
    }
};

TEST_F(RefreshFolder, TheRefreshedTreeIsWhatAFreshScanOfTheChangedTreeFinds) {
    scan(work());
    const ScanRecord first = session->history().front();
    changeSub();
    putSized(work() + "/a.bin", 50000, 1); // outside the folder: not seen
    session->select(node(work() + "/sub/deep"));

    refreshAndWait(work() + "/sub");
    EXPECT_LT(node(work() + "/a.bin")->allocatedSize(), 50000);
    // The selection follows into the new tree.
    EXPECT_EQ(session->selected(), node(work() + "/sub/deep"));
    const ScanForest refreshed = *session->forest();
    const ScanRecord saved = session->history().front();
    EXPECT_NE(saved.fileURL, first.fileURL);
    EXPECT_EQ(session->history().at(1).fileURL, first.fileURL);
    // Its changes are against the scan it came from; these small files fall
    // below the listed changes' threshold.
    ASSERT_TRUE(waitUntil([&] { return session->changeList().has_value(); }));
    bool grew = false, left = false;
    for (const ScanChange& c : session->changeList()->smaller) {
        grew |= c.path == work() + "/sub/b.bin" && c.kind == ScanChange::Kind::grew;
        left |= c.path == work() + "/sub/gone.bin" && c.kind == ScanChange::Kind::removed;
    }
    EXPECT_TRUE(grew);
    EXPECT_TRUE(left);

    putSized(work() + "/a.bin", 5000, 1);
    scan(work());
    const ScanForest fresh = *session->forest();
    EXPECT_EQ(refreshed.visited(), fresh.visited());
    EXPECT_EQ(entriesOf(refreshed), entriesOf(fresh));
    EXPECT_EQ(refreshed.context().leftOutCount, fresh.context().leftOutCount);
    auto leftOut = [](ScanContext c) {
        std::sort(c.leftOut.begin(), c.leftOut.end(),
                  [](const LeftOut& a, const LeftOut& b) { return a.path < b.path; });
        return c.leftOut;
    };
    EXPECT_EQ(leftOut(refreshed.context()), leftOut(fresh.context()));

    // The saved scan holds the refreshed tree, and reads back as it.
    auto stored = ScanStore::reopen(saved);
    ASSERT_TRUE(stored);
    EXPECT_EQ(entriesOf(*stored), entriesOf(refreshed));
}

TEST_F(RefreshFolder, WhatIsRefreshedForEachKindOfItem) {
    struct Case {
        const char* name;
        std::string item; // the item asked for
        bool wholeScan;   // a.bin's change is seen too
    };
    const Case cases[] = {
        {"a file refreshes its folder", "/sub/deep/c.bin", false},
        {"an excluded item refreshes its folder", "/sub/skip", false},
        {"the root rescans everything", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        putSized(work() + "/sub/deep/new.bin", 0, 7);
        putSized(work() + "/a.bin", 5000, 1);
        scan(work());
        const std::int64_t deep = node(work() + "/sub/deep")->allocatedSize();
        const std::int64_t a = node(work() + "/a.bin")->allocatedSize();
        putSized(work() + "/sub/deep/new.bin", 6000, 7);
        putSized(work() + "/a.bin", 50000, 1);
        if (c.wholeScan) {
            const std::string front = session->history().front().fileURL;
            session->refreshFolder(session->forest()->root());
            EXPECT_TRUE(session->isScanning());
            ASSERT_TRUE(waitUntil([&] { return session->history().front().fileURL != front; }));
        } else {
            refreshAndWait(work() + c.item);
        }
        const std::int64_t deepNow = node(work() + "/sub/deep")->allocatedSize();
        EXPECT_GT(deepNow, deep);
        EXPECT_EQ(node(work() + "/a.bin")->allocatedSize() > a, c.wholeScan);
    }
}

} // namespace
} // namespace tb
