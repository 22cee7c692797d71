#include "review/staging_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSignalSpy>
#include <map>

#include "base/path.h"
#include "platform/file_system.h"
#include "scan/directory_walker.h"
#include "scan/node_arena.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::readFile;

// The desktop's trash, with failures injected per path.
class FaultyTrash : public platform::Trash {
public:
    Result<std::string> moveToTrash(const std::string& path) override {
        attempts.push_back(path);
        if (auto it = failMove.find(path); it != failMove.end()) return it->second;
        return real.moveToTrash(path);
    }
    Status putBack(const std::string& trashed, const std::string& original) override {
        return failPutBack ? *failPutBack : real.putBack(trashed, original);
    }

    platform::FreedesktopTrash real;
    std::map<std::string, Error> failMove;
    std::optional<Error> failPutBack;
    std::vector<std::string> attempts;
};

class StagingStoreTest : public ::testing::Test {
protected:
    StagingStoreTest() : trash(std::make_shared<FaultyTrash>()), store(trash) {}

    std::string file(const std::string& relative, std::string_view contents = "data") {
        test::put(work / relative, contents);
        return work / relative;
    }
    std::string folder(const std::string& relative) {
        test::makeDirs(work / relative);
        return work / relative;
    }
    // A node as the lister would have made it from the item as it is now.
    const ScanNode& node(const std::string& path, std::int64_t logical = -1,
                         std::int64_t allocated = 4096) {
        auto v = platform::FileSystem::values(path);
        EXPECT_TRUE(v.ok()) << path;
        return *arena.make({.path = path,
                            .name = Path::lastComponent(path),
                            .isDirectory = v->isDirectory,
                            .inode = v->identity,
                            .modified = v->modified,
                            .logicalSize = logical >= 0 ? logical : v->size,
                            .allocatedSize = allocated});
    }
    std::vector<std::string> urls() const {
        std::vector<std::string> out;
        for (const auto& i : store.items())
            out.push_back(i.url);
        return out;
    }
    std::string message() const { return store.lastMessage().value_or("<none>"); }
    std::string trashRoot() const { return home.dataHome() + "/Trash"; }

    test::TempHome home;
    test::TempDir work;
    NodeArena arena;
    std::shared_ptr<FaultyTrash> trash;
    StagingStore store;
};

// Each would take the user's data, or the Trash, with it. A system path, or one gone since the
// scan, is refused first, and as a cleanup suggestion with a message of its own.
TEST_F(StagingStoreTest, RefusesSystemPathsRootsHomesAndTrashesWithTheirMessages) {
    const std::string scanRoot = folder("scanned"), inside = file("scanned/inside");
    const std::string trashed = home.dataHome() + "/Trash/files/old";
    test::makeDirs(trashed);
    const std::string otherVolumeTrash = folder("usb/.Trash-1000/files/x"),
                      sharedTrash = folder("usb/.Trash/1000/files/y");
    store.setScanRoot(scanRoot + "/");
    const char* systemPath = "System paths cannot be staged.";
    const struct {
        std::string url;
        const char* message; // nullptr: admitted
        bool unsafe = false; // refused as a suggestion for a message of its own
    } cases[] = {
        {"/", systemPath, true},
        {"/usr/bin/env", systemPath, true},
        {work / "missing", "This item no longer exists. Scan again before staging it.", true},
        {scanRoot,
         "The scanned folder itself cannot be staged. Stage the items inside it instead."},
        {inside, nullptr},
        {home.home(), "Your home folder cannot be staged."},
        {home.home() + "/.", "Your home folder cannot be staged."},
        {Path::parent(home.home()), "This folder holds your home folder, so it cannot be staged."},
        {"/var", "This folder holds system paths, so it cannot be staged."},
        {trashed, "This item is already in a Trash. Empty the Trash to free its space."},
        {home.dataHome() + "/Trash",
         "This item is already in a Trash. Empty the Trash to free its space."},
        {otherVolumeTrash, "This item is already in a Trash. Empty the Trash to free its space."},
        {sharedTrash, "This item is already in a Trash. Empty the Trash to free its space."},
        {home.dataHome(), "This folder holds your Trash, so it cannot be staged."},
    };
    for (const auto& c : cases) {
        store.stage(c.url, "n", 1);
        EXPECT_EQ(store.isStaged(c.url), c.message == nullptr) << c.url;
        if (!c.message) continue;
        EXPECT_EQ(message(), c.message) << c.url;
        if (!c.unsafe) {
            EXPECT_EQ(store.refusal(c.url), c.message) << c.url;
        }
        store.stage(CleanupCandidate{c.url, "t", c.url, 1, "o", "r"});
        EXPECT_FALSE(store.isStaged(c.url)) << c.url;
        EXPECT_EQ(message(), c.unsafe ? "This path is no longer safe to stage. Scan it again "
                                        "before reviewing it."
                                      : c.message)
            << c.url;
    }
}

// A home Trash that is a link to another disk is the Trash where it leads.
TEST_F(StagingStoreTest, RefusesWhatIsInOrHoldsAHomeTrashElsewhere) {
    const std::string disk = folder("disk"), trashed = folder("disk/Trash/files/old"),
                      beside = file("disk/other");
    test::makeDirs(home.dataHome());
    ASSERT_EQ(::symlink((disk + "/Trash").c_str(), (trashRoot()).c_str()), 0);
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {trashed, "This item is already in a Trash. Empty the Trash to free its space."},
        {disk + "/Trash", "This item is already in a Trash. Empty the Trash to free its space."},
        {disk, "This folder holds your Trash, so it cannot be staged."},
        {home.dataHome(), "This folder holds your Trash, so it cannot be staged."},
        {beside, std::nullopt}, // admitted
    };
    for (const auto& [url, refusal] : cases)
        EXPECT_EQ(store.refusal(url), refusal) << url;
}

TEST_F(StagingStoreTest, ParentsChildrenAndSiblingsByPathComponents) {
    const std::string a = folder("a"), ab = folder("ab"), b = folder("a/b"), c = folder("a/c");
    const std::string x = file("x");
    QSignalSpy itemsSpy(&store, &StagingStore::itemsChanged);
    QSignalSpy messageSpy(&store, &StagingStore::lastMessageChanged);
    store.stage(b, "b", 1);
    store.stage(b + "/", "b", 1); // the same folder spelled differently: no item, no message
    EXPECT_EQ(itemsSpy.count(), 1);
    EXPECT_EQ(messageSpy.count(), 0);
    EXPECT_TRUE(store.isStaged(b + "/."));
    EXPECT_FALSE(store.isStaged(b + "b"));
    store.stage(x, "x", 1);
    store.stage(c, "c", 1);
    store.stage(ab, "ab", 1);
    EXPECT_EQ(urls(), (std::vector<std::string>{b, x, c, ab}));
    EXPECT_FALSE(store.lastMessage());

    store.stage(a, "a", 1); // absorbs /a/b and /a/c, keeps /x and /ab in order
    EXPECT_EQ(urls(), (std::vector<std::string>{x, ab, a}));
    EXPECT_FALSE(store.lastMessage());

    store.stage(work / "a/./c/../b", "b", 1);
    EXPECT_EQ(message(), "A parent folder is already in the review queue.");
    EXPECT_EQ(urls(), (std::vector<std::string>{x, ab, a}));
}

TEST_F(StagingStoreTest, EachVariantFillsItsItem) {
    const std::string big = file("dir/model.gguf", std::string(5000, 'w')),
                      plain = file("plain.txt", "12345"), cache = folder("cache");
    test::setModified(plain, 1'600'000'000, 123'456'789);

    store.stage(node(big, 5000, 8192));
    store.stage(plain, "Plain", 77);
    store.stage(CleanupCandidate{cache, "Cache", cache, 999, "Builder", "Rebuilt on demand"});
    ASSERT_EQ(store.items().size(), 3u);

    const auto now = [](const std::string& p) { return *platform::FileSystem::values(p); };
    EXPECT_EQ(store.items()[0],
              (StagedItem{big, big, "model.gguf", 8192,
                          "Local model weights. Safe to stage if you can download them again.",
                          now(big).identity, 5000, now(big).modified}));
    const StagedItem& p = store.items()[1];
    EXPECT_EQ(p, (StagedItem{plain, plain, "Plain", 77, "Selected for review", now(plain).identity,
                             5, Date{1'600'000'000, 123'456'789}}));

    const StagedItem& c = store.items()[2];
    EXPECT_EQ(c.name, "Cache");
    EXPECT_EQ(c.bytes, 999);
    EXPECT_EQ(c.reason, "Builder: Rebuilt on demand");
    EXPECT_NE(c.inode, 0u);
    EXPECT_EQ(store.totalBytes(), 8192 + 77 + 999);

    store.remove(p);
    EXPECT_EQ(urls(), (std::vector<std::string>{big, cache}));
}

TEST_F(StagingStoreTest, RecheckComparesIdentitySizeAndDateButNoFoldersSize) {
    const std::string path = file("f", "abc");
    test::setModified(path, 1'700'000'000, 500'000'000);
    const auto v = *platform::FileSystem::values(path);
    const StagedItem queued{path, path, "f", 3, "r", v.identity, 3, v.modified};
    EXPECT_TRUE(StagingStore::matchesExpectedState(queued));

    const Date m = v.modified;
    const std::tuple<const char*, std::uint64_t, std::int64_t, Date, bool> cases[] = {
        {"other identity", v.identity + 1, 3, m, false},
        {"unknown identity", 0, 3, m, true},
        {"other size", v.identity, 4, m, false},
        {"no size check", v.identity, 0, m, true},
        {"negative size disables", v.identity, -1, m, true},
        {"0.0005 s later", v.identity, 3, m.addingSeconds(0.0005), true},
        {"0.0005 s earlier", v.identity, 3, m.addingSeconds(-0.0005), true},
        {"0.0011 s later", v.identity, 3, m.addingSeconds(0.0011), false},
        {"one second earlier", v.identity, 3, m.addingSeconds(-1), false},
        {"unknown date", v.identity, 3, Date::distantPast(), false},
    };
    for (const auto& [what, inode, logical, modified, matches] : cases) {
        StagedItem item = queued;
        item.inode = inode;
        item.logicalBytes = logical;
        item.modified = modified;
        EXPECT_EQ(StagingStore::matchesExpectedState(item), matches) << what;
    }

    // Replaced by a new file of the same size and date: only identity tells.
    test::writeFile(path + ".new", "xyz");
    test::setModified(path + ".new", 1'700'000'000, 500'000'000);
    ASSERT_EQ(::rename((path + ".new").c_str(), path.c_str()), 0);
    EXPECT_FALSE(StagingStore::matchesExpectedState(queued));
    StagedItem withoutIdentity = queued;
    withoutIdentity.inode = 0;
    EXPECT_TRUE(StagingStore::matchesExpectedState(withoutIdentity));

    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_FALSE(StagingStore::matchesExpectedState(withoutIdentity));
    withoutIdentity.logicalBytes = 0;
    withoutIdentity.modified = Date::distantPast();
    EXPECT_TRUE(StagingStore::matchesExpectedState(withoutIdentity)); // nothing left to compare

    // A folder from the tree passes despite its rolled-up size.
    const std::string dir = folder("tree/dir");
    file("tree/dir/inside", std::string(100000, 'z'));
    test::setModified(dir, 1'650'000'000);
    store.stage(node(dir, 100000, 102400));
    ASSERT_EQ(store.items().size(), 1u);
    EXPECT_TRUE(StagingStore::matchesExpectedState(store.items()[0]));
    test::setModified(dir, 1'650'000'001);
    EXPECT_FALSE(StagingStore::matchesExpectedState(store.items()[0]));
}

// Two folders hold one name each of a 2 MB file: only both together free it.
TEST_F(StagingStoreTest, QueueFreesAFileOnlyWithAllItsNames) {
    const std::string root = folder("scan");
    test::putSized(root + "/p/big", 2'000'000);
    test::putSized(root + "/q/small", 10'000);
    ASSERT_EQ(::link((root + "/p/big").c_str(), (root + "/q/big").c_str()), 0);
    test::putSized(root + "/elsewhere", 5'000);
    const ScanForest forest = DirectoryWalker::walk(root, [](const WalkProgress&) {});
    store.setForest(forest);
    auto at = [&](const std::string& p) { return test::findNode(forest, p); };
    const std::int64_t big = forest.links().file(at(root + "/q/big"))->allocatedSize;
    const std::int64_t small = at(root + "/q/small")->allocatedSize();

    store.stage(*at(root + "/q"));
    EXPECT_EQ(store.freesAbout(), small);
    store.stage(*at(root + "/p"));
    EXPECT_EQ(store.freesAbout(), big + small);
    EXPECT_EQ(store.totalBytes(), big + small);
    // An item outside the scan counts as queued.
    store.stage(file("outside"), "outside", 777);
    EXPECT_EQ(store.freesAbout(), big + small + 777);

    StagingStore single(trash);
    single.setForest(forest);
    single.stage(*at(root + "/q/big"));
    // Counted under another name, it still carries the file's length for the recheck.
    EXPECT_EQ(single.items().back().logicalBytes, 2'000'000);
    EXPECT_EQ(single.freesAbout(), 0);
}

// The same path here is another file, or none: nothing of it may go.
TEST_F(StagingStoreTest, NothingOfAnotherMachinesScanIsQueued) {
    const std::string root = folder("scan");
    test::putSized(root + "/p/big", 20'000);
    const ScanForest here = DirectoryWalker::walk(root, [](const WalkProgress&) {});
    ScanContext there = here.context();
    there.host = "nas";
    const ScanForest remote(here.tree(), here.unreadable(), here.visited(), there);
    store.setForest(remote);
    const ScanNode* big = test::findNode(remote, root + "/p/big");
    ASSERT_NE(big, nullptr);

    store.stage(*big);
    store.stage(*test::findNode(remote, root + "/p"));
    store.stage(root + "/p/big", "big", 20'000, "a reason");
    EXPECT_TRUE(store.items().empty());
    EXPECT_EQ(store.lastMessage(), std::string(StagingStore::kOtherMachine));
    EXPECT_EQ(store.refusal(root + "/p/big"), std::string(StagingStore::kOtherMachine));

    store.setForest(here);
    store.stage(*test::findNode(here, root + "/p/big"));
    EXPECT_EQ(store.items().size(), 1u);
    // Queued from this machine's scan, it still goes while the other is shown.
    store.setForest(remote);
    store.trashAll();
    EXPECT_TRUE(store.items().empty());
    EXPECT_FALSE(test::exists(root + "/p/big"));
}

TEST_F(StagingStoreTest, TrashAllMovesWhatPassesAndKeepsTheRest) {
    QSignalSpy receiptsSpy(&store, &StagingStore::receiptsChanged);
    store.trashAll(); // nothing queued yet
    EXPECT_EQ(message(), "Moved 0 items to Trash. The space is freed when the Trash is emptied.");
    EXPECT_EQ(receiptsSpy.count(), 0);

    const std::string moved1 = file("m1", "one"), vanished = file("gone"),
                      changed = file("changed", "before"), refused = file("refused"),
                      moved2 = folder("m2");
    test::setModified(changed, 1'600'000'000);
    for (const auto& p : {moved1, vanished, changed, refused, moved2})
        store.stage(p, std::string(Path::lastComponent(p)), 100);
    ASSERT_EQ(::unlink(vanished.c_str()), 0);
    test::writeFile(changed, "after!");
    trash->failMove[refused] = Error{"POSIX", EACCES, "Permission denied"};

    QSignalSpy itemsSpy(&store, &StagingStore::itemsChanged);
    store.trashAll();
    EXPECT_EQ(urls(), (std::vector<std::string>{vanished, changed, refused}));
    EXPECT_EQ(message(), "Moved 2 items. 3 items remain for retry.");
    EXPECT_EQ(itemsSpy.count(), 1);
    EXPECT_EQ(trash->attempts, (std::vector<std::string>{moved1, refused, moved2}));

    // Newest first: the last item's receipt leads.
    ASSERT_EQ(store.receipts().size(), 5u);
    const auto& r = store.receipts();
    EXPECT_EQ(r[0].originalURL, moved2);
    EXPECT_TRUE(r[0].succeeded);
    EXPECT_EQ(r[0].message, "Moved to Trash.");
    EXPECT_EQ(r[0].trashedURL, trashRoot() + "/files/m2");
    EXPECT_EQ(r[1].message, "Permission denied");
    EXPECT_FALSE(r[1].succeeded);
    EXPECT_FALSE(r[1].trashedURL);
    EXPECT_EQ(r[2].message, "The item changed since it was staged. Scan it again before retrying.");
    EXPECT_EQ(r[3].message, "The path is no longer available. Scan again before retrying.");
    EXPECT_EQ(r[4].originalURL, moved1);
    EXPECT_EQ(r[4].name, "m1");
    EXPECT_EQ(r[4].bytes, 100);
    EXPECT_EQ(readFile(*r[4].trashedURL), "one");
    EXPECT_NE(r[0].id, r[4].id);
    EXPECT_EQ(readFile(refused), "data");
    EXPECT_EQ(readFile(changed), "after!");

    // A changed item keeps failing: its queued state is not refreshed.
    trash->failMove.clear();
    store.trashAll();
    EXPECT_EQ(urls(), (std::vector<std::string>{vanished, changed}));
    EXPECT_EQ(message(), "Moved 1 item. 2 items remain for retry.");
}

TEST_F(StagingStoreTest, ProtectedLocationReachedThroughALinkIsNotMoved) {
    // /proc/version, reached by a folder that became a link after queueing.
    const std::string dir = folder("d"), item = file("d/version");
    store.stage(item, "version", 1, "r");
    ASSERT_EQ(store.items().size(), 1u);
    ASSERT_EQ(::rename(dir.c_str(), (work / "d-old").c_str()), 0);
    ASSERT_EQ(::symlink("/proc", dir.c_str()), 0);
    store.trashAll();
    ASSERT_EQ(store.receipts().size(), 1u);
    EXPECT_EQ(store.receipts()[0].message, "Protected system paths cannot be moved to Trash.");
    EXPECT_EQ(store.items().size(), 1u);
    EXPECT_TRUE(trash->attempts.empty());
}

TEST_F(StagingStoreTest, RestorePutsBackOnlyWhereNothingNewIsAndKeepsFailedReceipts) {
    const std::string path = file("back", "payload"), report = file("report", "original"),
                      gone = file("gone");
    for (const auto& p : {path, report, gone})
        store.stage(p, std::string(Path::lastComponent(p)), 7);
    ::unlink(gone.c_str());
    store.trashAll();
    ASSERT_EQ(store.receipts().size(), 3u); // newest first: gone, report, back
    const OperationReceipt failed = store.receipts()[0], later = store.receipts()[1];

    QSignalSpy receiptsSpy(&store, &StagingStore::receiptsChanged);
    store.restore(store.receipts()[2]);
    EXPECT_EQ(readFile(path), "payload");
    EXPECT_EQ(store.receipts().size(), 2u);
    EXPECT_EQ(urls(), std::vector<std::string>{gone}); // the failed one waits for retry
    EXPECT_EQ(message(), "Restored back.");
    EXPECT_EQ(receiptsSpy.count(), 1);

    // Without a trashed location there is nothing to put back.
    const auto before = store.lastMessage();
    store.restore(failed);
    EXPECT_EQ(store.lastMessage(), before);
    EXPECT_EQ(store.receipts().size(), 2u);

    test::writeFile(report, "written later");
    store.restore(later);
    EXPECT_EQ(message(), "An item now exists at " + report + "; move it away and try again.");
    EXPECT_EQ(readFile(report), "written later");
    ASSERT_EQ(store.receipts().size(), 2u);
    EXPECT_EQ(store.receipts()[1], later);

    trash->failPutBack = Error{"POSIX", 0, ""};
    store.restore(later);
    EXPECT_FALSE(message().empty());
    EXPECT_EQ(store.receipts().size(), 2u);
}

} // namespace
} // namespace tb
