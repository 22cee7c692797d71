#include <QSignalSpy>

#include <sys/stat.h>
#include <unistd.h>

#include "store/scan_store.h"
#include "support/session_scan.h"

namespace tb {
namespace {

using namespace tb::test;

class TreeFollowsTrash : public SessionInHome {
protected:
    void SetUp() override {
        putSized(work() + "/a.bin", 5000, 1);
        putSized(work() + "/sub/b.bin", 9000, 2);
        putSized(work() + "/sub/c.bin", 3000, 3);
    }

    std::int64_t total() const { return session->forest()->root()->allocatedSize(); }
    // Straight to the Trash, as Move to Trash… does once confirmed.
    void trash(std::vector<const ScanNode*> nodes) {
        session->staging().trash(session->staging().select(nodes));
    }
};

TEST_F(TreeFollowsTrash, AMovedItemLeavesTheTreeAndUndoPutsItBackFromTheDisk) {
    scan(work());
    const std::int64_t before = total();
    const std::int64_t b = node(work() + "/sub/b.bin")->allocatedSize();
    const std::int64_t sub = node(work() + "/sub")->allocatedSize();
    session->select(node(work() + "/sub/b.bin"));
    EXPECT_FALSE(session->staging().canUndo());

    trash({node(work() + "/sub/b.bin")});
    EXPECT_FALSE(exists(work() + "/sub/b.bin"));
    EXPECT_EQ(node(work() + "/sub/b.bin"), nullptr);
    EXPECT_EQ(total(), before - b);
    EXPECT_EQ(node(work() + "/sub")->allocatedSize(), sub - b);
    // The selection falls back to the folder that held the item.
    EXPECT_EQ(session->selected(), node(work() + "/sub"));
    ASSERT_EQ(session->movedToTrash().size(), 1u);
    EXPECT_EQ(session->movedToTrash().front(), (MovedItem{work() + "/sub/b.bin", b}));
    EXPECT_TRUE(session->staging().canUndo());
    // The stored scan keeps what it was written with.
    auto stored = ScanStore::reopen(session->history().front());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->root()->allocatedSize(), before);
    EXPECT_TRUE(ForestEdit::nodeAt(*stored, work() + "/sub/b.bin"));

    session->staging().undoLastMove();
    EXPECT_TRUE(exists(work() + "/sub/b.bin"));
    EXPECT_FALSE(session->staging().canUndo());
    EXPECT_TRUE(session->movedToTrash().empty());
    ASSERT_TRUE(waitUntil([&] { return node(work() + "/sub/b.bin") != nullptr; }));
    EXPECT_EQ(node(work() + "/sub/b.bin")->allocatedSize(), b);
    EXPECT_EQ(total(), before);
    EXPECT_EQ(node(work() + "/sub")->children().front()->name(), "b.bin"); // largest first
}

TEST_F(TreeFollowsTrash, TheQueueAndEveryListFollowToo) {
    putSized(work() + "/copy/a.bin", 5000, 1); // same bytes as a.bin
    scan(work());
    session->findDuplicates();
    ASSERT_TRUE(waitUntil([&] { return !session->isFindingDuplicates(); }));
    ASSERT_EQ(session->duplicates().size(), 1u);
    const std::int64_t before = total();
    const std::int64_t copy = node(work() + "/copy")->allocatedSize();

    session->staging().stage(*node(work() + "/copy"));
    session->staging().stage(*node(work() + "/sub/c.bin"));
    QSignalSpy moved(&session->staging(), &StagingStore::moved);
    session->staging().trashAll();
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(node(work() + "/copy"), nullptr);
    EXPECT_EQ(node(work() + "/sub/c.bin"), nullptr);
    EXPECT_EQ(session->movedToTrash().size(), 2u);
    EXPECT_LT(total(), before - copy);
    EXPECT_TRUE(session->duplicates().empty()); // one copy left: no group
    for (const ScanNode* f : session->forest()->largestFiles())
        EXPECT_NE(f->name(), "c.bin");

    // Undo takes back the whole last move; the queue stays empty.
    session->staging().undoLastMove();
    ASSERT_TRUE(waitUntil([&] { return total() == before; }));
    EXPECT_TRUE(session->staging().items().empty());
    EXPECT_TRUE(session->movedToTrash().empty());
}

TEST_F(TreeFollowsTrash, RefusedAndQueuedItemsAreHandledAsTheQueueDoes) {
    scan(work());
    session->staging().stage(*node(work() + "/sub/b.bin"));
    const std::vector<const ScanNode*> chosen{session->forest()->root(), node(work() + "/sub"),
                                              node(work() + "/sub/b.bin")};
    auto selection = session->staging().select(chosen);
    // The scanned folder may not go; the file goes with its folder.
    ASSERT_EQ(selection.items.size(), 1u);
    EXPECT_EQ(selection.items.front().url, work() + "/sub");
    EXPECT_TRUE(selection.refused);
    session->staging().trash(selection);
    EXPECT_FALSE(exists(work() + "/sub"));
    EXPECT_TRUE(session->staging().items().empty()); // the queued file left with it

    const std::vector<const ScanNode*> rootOnly{session->forest()->root()};
    auto none = session->staging().select(rootOnly);
    EXPECT_TRUE(none.items.empty());
    session->staging().trash(none);
    ASSERT_TRUE(session->staging().lastMessage());
    EXPECT_EQ(*session->staging().lastMessage(), *none.refused);
    EXPECT_EQ(session->movedToTrash().size(), 1u);

    // A new scan starts the count again.
    scan(work());
    EXPECT_TRUE(session->movedToTrash().empty());
    EXPECT_EQ(node(work() + "/sub"), nullptr);
}

TEST_F(TreeFollowsTrash, AFileChangedSinceTheScanStaysAndTheTreeKeepsIt) {
    scan(work());
    const std::int64_t before = total();
    setModified(work() + "/a.bin", 1'000'000);
    trash({node(work() + "/a.bin")});
    EXPECT_TRUE(exists(work() + "/a.bin"));
    EXPECT_TRUE(node(work() + "/a.bin"));
    EXPECT_EQ(total(), before);
    EXPECT_FALSE(session->staging().canUndo());
    ASSERT_FALSE(session->staging().receipts().empty());
    EXPECT_FALSE(session->staging().receipts().front().succeeded);
}

// A file with two names counts once under the first; when that name goes the
// other takes it over, and putting it back gives the first its bytes again.
TEST_F(TreeFollowsTrash, HardLinkedFilesKeepTheirTotalsRight) {
    putSized(work() + "/x/linked.bin", 40000, 4);
    makeDirs(work() + "/y");
    ASSERT_EQ(::link((work() + "/x/linked.bin").c_str(), (work() + "/y/linked.bin").c_str()), 0);
    scan(work());
    const std::int64_t before = total();
    const std::int64_t file = node(work() + "/x/linked.bin")->allocatedSize();
    ASSERT_GT(file, 0);
    EXPECT_EQ(node(work() + "/y")->allocatedSize(), 0);

    trash({node(work() + "/x/linked.bin")});
    ASSERT_EQ(node(work() + "/x/linked.bin"), nullptr);
    EXPECT_EQ(node(work() + "/y")->allocatedSize(), file);
    EXPECT_EQ(node(work() + "/y/linked.bin")->allocatedSize(), file);
    EXPECT_EQ(total(), before); // the file is still on the disk
    EXPECT_EQ(session->movedToTrash().front().bytes, 0);
    // The Trash holds a name of it: moving the other frees nothing either.
    EXPECT_EQ(session->forest()->freedBy(node(work() + "/y")), 0);

    session->staging().undoLastMove();
    ASSERT_TRUE(waitUntil([&] { return node(work() + "/x/linked.bin") != nullptr; }));
    EXPECT_EQ(node(work() + "/x/linked.bin")->allocatedSize(), file);
    EXPECT_EQ(node(work() + "/y")->allocatedSize(), 0);
    EXPECT_EQ(total(), before);
    EXPECT_EQ(session->forest()->freedBy(node(work() + "/x")), 0);
    EXPECT_EQ(session->forest()->freedBy(session->forest()->root()), before);
}

// The home's Trash lies in the scanned home: the volume bar takes it off
// what was scanned, and an item moved there must not be taken off twice.
TEST_F(TreeFollowsTrash, TheVolumeBarCountsAMovedItemOnceWhenTheTrashIsInTheScan) {
    putSized(home.home() + "/.local/share/Trash/files/old.bin", 7000, 5);
    scan(home.home());
    auto scannedSlice = [&]() -> std::int64_t {
        const auto& truth = session->pulse().truth();
        if (!truth || !session->volume() || session->volume()->trashPending) return -1;
        return truth->slices.front().bytes;
    };
    ASSERT_TRUE(waitUntil([&] { return scannedSlice() >= 0; }));
    const std::int64_t before = scannedSlice();
    const std::int64_t b = node(work() + "/sub/b.bin")->allocatedSize();
    trash({node(work() + "/sub/b.bin")});
    ASSERT_TRUE(waitUntil([&] { return scannedSlice() >= 0 && scannedSlice() != before; }));
    // The Trash's record of where the item came from is new, and the
    // Trash's own: it comes off too.
    struct stat info {};
    ASSERT_EQ(::lstat((home.home() + "/.local/share/Trash/info/b.bin.trashinfo").c_str(), &info),
              0);
    EXPECT_EQ(scannedSlice(), before - b - std::int64_t(info.st_blocks) * 512);
}

} // namespace
} // namespace tb
