#include <gtest/gtest.h>

#include <filesystem>

#include "store/scan_store.h"
#include "store_test_support.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::TreeBuilder;

ScanRecord saveScanOf(const std::string& root, std::int64_t capacity = 1000) {
    TreeBuilder b(root);
    b.file(root + "/f", 4096);
    b.rollUp();
    ScanForest forest = b.forest(test::testContext(root, capacity), 0, 2);
    auto saved = ScanStore::save(forest, root);
    if (!saved) throw std::runtime_error(saved.error().message);
    return *saved;
}

TEST(ScanHistory, NewestFirstByModificationDate) {
    test::TempHome home;
    const ScanRecord a = saveScanOf("/a"), b = saveScanOf("/b"), c = saveScanOf("/c");
    test::setModified(a.fileURL, 2'000'000'000);
    test::setModified(b.fileURL, 1'000'000'000);
    test::setModified(c.fileURL, 1'500'000'000, 500);

    const auto history = ScanStore::history();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].id, a.id);
    EXPECT_EQ(history[1].id, c.id);
    EXPECT_EQ(history[2].id, b.id);
    EXPECT_EQ(history[1].finished, (Date{1'500'000'000, 500}));
    // What was saved is what is read back, apart from the two dates.
    ScanRecord readBack = history[0];
    readBack.finished = a.finished;
    readBack.context.createdAt = a.context.createdAt;
    EXPECT_EQ(readBack, a);
}

TEST(ScanHistory, KeepsOnlyExactSqliteExtension) {
    test::TempHome home;
    const std::string dir = ScanStore::directory();
    const ScanRecord valid = saveScanOf("/v");
    for (const char* ext : {".SQLITE", ".db", ".sqlite-wal", ""}) {
        std::filesystem::copy_file(valid.fileURL, dir + "/" + Uuid::random().toString() + ext);
    }
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

TEST(ScanHistory, FileThatIsNoDatabaseIsListedWithFallbacksButGivesNoTree) {
    // It opens (SQLite reads lazily) but its meta rows cannot be read.
    test::TempHome home;
    const Uuid id = Uuid::random();
    const std::string file = ScanStore::directory() + "/" + id.toString() + ".sqlite";
    test::writeFile(file, std::string(4096, 'x'));

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

TEST(ScanHistory, MissingFolderOrEntriesThatCannotBeOpenedGiveNothing) {
    test::TempHome home;
    EXPECT_TRUE(ScanStore::historyIn(home.home() + "/does/not/exist").empty());
    EXPECT_TRUE(ScanStore::history().empty());
    const std::string dir = ScanStore::directory();
    // A dangling symbolic link: the open fails outright.
    std::filesystem::create_symlink(dir + "/gone",
                                    dir + "/" + Uuid::random().toString() + ".sqlite");
    EXPECT_TRUE(ScanStore::history().empty());
}

TEST(ScanRecord, SameSubjectIsRootAndCapacityOnly) {
    ScanRecord a, b;
    a.context = test::testContext("/r", 500);
    b.context = test::testContext("/r", 600);
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
