#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "store/scan_store.h"
#include "store_test_support.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using ScanHistory = test::StoreTest;
using test::storedScan;

TEST_F(ScanHistory, NewestFirstByModificationDate) {
    const std::string dir = ScanStore::directory();
    const ScanRecord a = storedScan(dir, "/a", 2'000'000'000);
    const ScanRecord oldest = storedScan(dir, "/b", 1'000'000'000), c = storedScan(dir, "/c");
    test::setModified(c.fileURL, 1'500'000'000, 500);

    const auto history = ScanStore::history();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].id, a.id);
    EXPECT_EQ(history[1].id, c.id);
    EXPECT_EQ(history[2].id, oldest.id);
    EXPECT_EQ(history[1].finished, (Date{1'500'000'000, 500}));
    // What was saved is what is read back, apart from the two dates.
    ScanRecord readBack = history[0];
    readBack.finished = a.finished;
    readBack.context.createdAt = a.context.createdAt;
    EXPECT_EQ(readBack, a);
}

TEST_F(ScanHistory, KeepsOnlyExactSqliteExtension) {
    const std::string dir = ScanStore::directory();
    const ScanRecord valid = storedScan(dir, "/v");
    for (const char* ext : {".SQLITE", ".db", ".sqlite-wal", ""})
        std::filesystem::copy_file(valid.fileURL, dir + "/" + Uuid::random().toString() + ext);
    std::filesystem::copy_file(valid.fileURL, dir + "/not a uuid.sqlite");
    test::setModified(dir + "/not a uuid.sqlite", 100);

    const auto history = ScanStore::history();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].id, valid.id);
    // A name that is no UUID still lists the scan, under a fresh identity.
    EXPECT_EQ(history[1].fileURL, dir + "/not a uuid.sqlite");
    EXPECT_NE(history[1].id, valid.id);
    EXPECT_EQ(history[1].rootPath, "/v");
}

// Not a database: listed with fallbacks (SQLite opens lazily); a dangling link: not at all.
TEST_F(ScanHistory, EntriesThatCannotBeReadAreListedWithFallbacksOrNotAtAll) {
    EXPECT_TRUE(ScanStore::historyIn(home.home() + "/does/not/exist").empty());
    EXPECT_TRUE(ScanStore::history().empty());
    const Uuid id = Uuid::random();
    const std::string dir = ScanStore::directory();
    test::writeFile(dir + "/" + id.toString() + ".sqlite", std::string(4096, 'x'));
    std::filesystem::create_symlink(dir + "/gone",
                                    dir + "/" + Uuid::random().toString() + ".sqlite");

    const auto history = ScanStore::history();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].id, id);
    EXPECT_EQ(history[0].rootPath, id.toString());
    EXPECT_EQ(history[0].scannedBytes, 0);
    EXPECT_EQ(history[0].context.volumeName, id.toString());
    EXPECT_TRUE(history[0].context.complete);
    EXPECT_FALSE(ScanStore::load(history[0]));
    ScanRecord gone = history[0];
    gone.fileURL = home.home() + "/gone.sqlite";
    EXPECT_FALSE(ScanStore::load(gone));
}

// The history removes killed saves' temporaries, never those of a save just begun.
TEST_F(ScanHistory, EverySaveSucceedsWhileTheHistoryIsRead) {
    const ScanForest forest = test::forestOf(b.tree(b.dir("/x", {b.file("/x/a", 10)})));
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done)
            (void)ScanStore::history();
    });
    int failed = 0;
    for (int i = 0; i < 300; ++i)
        failed += ScanStore::save(forest, "/x") ? 0 : 1;
    done = true;
    reader.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(ScanStore::history().size(), 300u);
}

TEST(ScanRecord, SameSubjectIsRootAndCapacityOnly) {
    ScanRecord a{.context = test::testContext("/r", 500)},
        b{.context = test::testContext("/r", 600)};
    EXPECT_FALSE(isSameSubject(a, b));
    b.context.volumeCapacity = 500;
    b.context.scope = ScanScopeKind::volume;
    b.context.complete = false;
    b.context.volumeName = "other";
    EXPECT_TRUE(isSameSubject(a, b));
    b.context.rootPath = "/r/";
    EXPECT_FALSE(isSameSubject(a, b));
}

} // namespace
} // namespace tb
