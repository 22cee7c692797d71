// A damaged, forged or half-written scan file must not load partly, overflow, hang or be listed.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/file_system.h"
#include "scan/directory_walker.h"
#include "scan/size_ranking.h"
#include "store/scan_store.h"
#include "store_test_support.h"
#include "support/second_user.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::ForgedScan;
using test::RawDb;
using test::TreeBuilder;

ScanForest wideForest(int files) {
    TreeBuilder b("/w");
    for (int i = 0; i < files; ++i)
        b.file("/w/file-with-a-longish-name-" + std::to_string(i), 4096 + i);
    b.rollUp();
    return b.forest();
}

using StoreIntegrity = test::StoreTest;

TEST_F(StoreIntegrity, DamagedPageGivesNoTreeRatherThanAPartialOne) {
    auto saved = ScanStore::save(wideForest(5000), "/w");
    ASSERT_TRUE(saved) << saved.error().message;
    const auto size = std::filesystem::file_size(saved->fileURL);
    {
        // A leaf page of the nodes table (type 13) in the second half, zeroed. The page size is a
        // big-endian 16-bit number at offset 16, where 1 stands for 65536.
        std::fstream f(saved->fileURL, std::ios::in | std::ios::out | std::ios::binary);
        unsigned char header[18];
        f.read(reinterpret_cast<char*>(header), sizeof header);
        const unsigned field = header[16] << 8 | header[17];
        const std::streamoff pageSize = field == 1 ? 65536 : field;
        ASSERT_GT(std::streamoff(size) / pageSize, 3);
        std::streamoff page = std::streamoff(size) / pageSize / 2;
        for (char type = 0; f.seekg(page * pageSize) && f.get(type) && type != 13;)
            ++page;
        ASSERT_LT(std::uintmax_t(page * pageSize), size);
        f.seekp(page * pageSize);
        const std::string zeros(std::size_t(pageSize), '\0');
        f.write(zeros.data(), std::streamsize(zeros.size()));
    }
    EXPECT_FALSE(ScanStore::load(*saved));
}

TEST_F(ForgedScan, StoredExtremesAreClampedAndEverySumSaturates) {
    forge(
        "INSERT INTO nodes VALUES ('/r', NULL, 'r', 1, 9223372036854775807, "
        "9223372036854775807, 0, 1, 0, 0),"
        "('/r/a', '/r', 'a', 0, 9223372036854775807, 9223372036854775807, 1e300, 2, 0, 0),"
        "('/r/b', '/r', 'b', 0, 9223372036854775806, 9223372036854775806, -1e300, 3, 0, 0),"
        "('/r/c', '/r', 'c', 0, -5, -9223372036854775808, 1700000000.5, 4, 0, 0);"
        "INSERT INTO meta VALUES ('root', '/r');");
    auto tree = ScanStore::load(record());
    ASSERT_TRUE(tree);
    tree->root->rollup();
    EXPECT_EQ(tree->root->allocatedSize(), INT64_MAX);
    EXPECT_EQ(tree->root->logicalSize(), INT64_MAX);
    ScanForest forest(*tree, 0, 0, test::testContext("/r"));
    const auto& kids = forest.root()->children();
    ASSERT_EQ(kids.size(), 3u);
    EXPECT_EQ(kids[0]->modified().isoString(), "9999-12-31T23:59:59Z");
    EXPECT_TRUE(kids[1]->modified().isDistantPast());
    EXPECT_EQ(kids[2]->allocatedSize(), 0);
    EXPECT_EQ(kids[2]->logicalSize(), 0);

    std::int64_t bandTotal = 0;
    for (const AgeBand& band : forest.ageBands()) {
        EXPECT_GE(band.bytes, 0) << band.id;
        bandTotal = std::max(bandTotal, band.bytes);
    }
    EXPECT_EQ(bandTotal, INT64_MAX);
    const RankedChildren ranked = MapLayout::ranked(forest.root()->children(), 1);
    EXPECT_EQ(ranked.otherBytes, INT64_MAX - 1);
    EXPECT_EQ(ranked.totalVisible(), INT64_MAX);
}

TEST_F(ForgedScan, ViewsAreNotRead) {
    // An endless recursive query behind each name.
    RawDb(file).exec(
        "CREATE VIEW nodes AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
        "FROM n) SELECT '/r' AS path, NULL AS parent, 'r' AS name, 1 AS is_dir, 0 AS "
        "logical, 0 AS allocated, 0.0 AS mtime, i AS inode, 0 AS may_share, 0 AS "
        "unreadable FROM n;"
        "CREATE VIEW meta AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
        "FROM n) SELECT 'x' || i AS key, 'v' AS value FROM n;");
    const std::string outcome = test::inChild(
        [&]() -> std::string {
            if (ScanStore::load(record())) return "loaded";
            const auto history = ScanStore::history();
            if (history.size() != 1) return "history holds " + std::to_string(history.size());
            if (history[0].rootPath != Path::lastComponent(file).substr(0, 36))
                return "listed as " + history[0].rootPath;
            if (!ScanStore::search(history[0], "r").empty()) return "search found rows";
            return "ok";
        },
        20);
    EXPECT_EQ(outcome, "ok");
}

// Tables are sized by the largest rowid: a forged extreme must not reserve memory.
TEST_F(ForgedScan, ExtremeRowidsDoNotReserveMemory) {
    for (const char* rowid : {"9223372036854775807", "-9223372036854775807"}) {
        std::filesystem::remove(file);
        forge(std::string("INSERT INTO nodes(rowid, path, parent, name, is_dir, logical, "
                          "allocated, mtime, inode, may_share, unreadable) VALUES (") +
              rowid + ", '/r', NULL, 'r', 1, 0, 0, 0, 1, 0, 0);");
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        auto tree = ScanStore::load(record());
        getrusage(RUSAGE_SELF, &after);
        ASSERT_TRUE(tree) << rowid;
        EXPECT_EQ(tree->root->path(), "/r");
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << rowid << ": KiB of peak growth";
    }
}

TEST_F(ForgedScan, OnlyRegularFilesAreOpened) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    const std::string dir = ScanStore::directory();
    ASSERT_EQ(::mkfifo((dir + "/" + Uuid::random().toString() + ".sqlite-wal").c_str(), 0600), 0);
    // Neither may block: a reader that opened the FIFO would wait for a writer.
    EXPECT_TRUE(ScanStore::history().empty());
    EXPECT_FALSE(ScanStore::record(file));
    EXPECT_FALSE(ScanStore::load(record()));
    EXPECT_TRUE(ScanStore::search(record(), "r").empty());
}

TEST_F(StoreIntegrity, HistoryRemovesWhatAKilledSaveLeftButNotALiveOne) {
    const std::string dir = ScanStore::directory();
    auto saved = ScanStore::save(wideForest(3), "/w");
    ASSERT_TRUE(saved);
    const std::string dead = dir + "/." + Uuid::random().toString() + ".saving";
    std::filesystem::copy_file(saved->fileURL, dead);
    test::writeFile(dead + "-wal", std::string(1000, 'w'));
    test::writeFile(dir + "/.orphan.saving-shm", "s");
    const std::string live = dir + "/." + Uuid::random().toString() + ".saving";
    auto lock = platform::FileSystem::createLocked(live);
    ASSERT_TRUE(lock) << lock.error().message;
    test::writeFile(live + "-wal", "w");
    // Staging folders of saves elsewhere: a killed one's with its leftovers, a live one's locked.
    const std::string deadStaging = dir + "/" + std::string(ScanStore::kStagingPrefix) + "dead01";
    test::makeDirs(deadStaging);
    std::filesystem::copy_file(saved->fileURL,
                               deadStaging + "/." + saved->id.toString() + ".saving");
    test::writeFile(deadStaging + "/x.saving-wal", std::string(1000, 'w'));
    std::string liveStaging = dir + "/" + std::string(ScanStore::kStagingPrefix) + "XXXXXX";
    auto stagingLock = platform::FileSystem::createLockedFolder(liveStaging);
    ASSERT_TRUE(stagingLock) << stagingLock.error().message;
    test::writeFile(liveStaging + "/.x.saving", "s");

    const auto history = ScanStore::history();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].id, saved->id);
    const std::string liveName(Path::lastComponent(live));
    const std::string liveStagingName(Path::lastComponent(liveStaging));
    EXPECT_EQ(test::namesIn(dir),
              (std::vector<std::string>{liveName, liveName + "-wal", liveStagingName,
                                        std::string(Path::lastComponent(saved->fileURL))}));
    EXPECT_EQ(test::namesIn(liveStaging), std::vector<std::string>{".x.saving"});

    // Once its save has ended without tidying up (killed), it goes too.
    stagingLock = Error{};
    (void)ScanStore::history();
    EXPECT_FALSE(test::exists(liveStaging));
}

TEST_F(StoreIntegrity, DirectoryFollowsXdgIsTheOwnersAloneAndRelativeLocationsAreMadeAbsolute) {
    const std::string expected = home.dataHome() + "/Tarnbeck/scans";
    EXPECT_EQ(ScanStore::directory(), expected);
    EXPECT_TRUE(test::exists(expected));
    {
        test::ScopedEnv unset("XDG_DATA_HOME", "");
        EXPECT_EQ(ScanStore::directory(), home.home() + "/.local/share/Tarnbeck/scans");

        // Invalid by the XDG rules: the default takes its place.
        test::ScopedEnv data("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(ScanStore::directory(), expected);
        test::ScopedEnv relativeHome("HOME", "relative/home");
        EXPECT_NE(platform::SpecialFolders::home(), std::optional<std::string>("relative/home"));
    }
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(home.home());
    test::makeDirs("rel/scans");
    auto saved = ScanStore::saveIn("rel/scans", wideForest(3), "/w");
    const auto history = ScanStore::historyIn("rel/scans");
    const bool loaded = !history.empty() && ScanStore::load(history[0]).has_value();
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_EQ(saved->fileURL.front(), '/');
    ASSERT_EQ(history.size(), 1u);
    EXPECT_TRUE(loaded);

    // Made where missing, every folder and file the owner's alone.
    const std::string data = home.home() + "/missing/data";
    test::ScopedEnv missing("XDG_DATA_HOME", data);
    const mode_t oldMask = ::umask(022);
    const std::string dir = ScanStore::directory();
    auto owned = ScanStore::save(wideForest(3), "/w");
    ::umask(oldMask);
    ASSERT_TRUE(owned) << owned.error().message;
    for (const std::string& folder : {home.home() + "/missing", data, data + "/Tarnbeck", dir})
        EXPECT_EQ(test::modeOf(folder), 0700u) << folder;
    EXPECT_EQ(test::modeOf(owned->fileURL), 0600u);
    EXPECT_EQ(test::namesIn(dir),
              std::vector<std::string>{Path::lastComponent(owned->fileURL).data()});

    // A folder an older version left open to everyone is closed up.
    ::chmod(dir.c_str(), 0755);
    EXPECT_EQ(ScanStore::directory(), dir);
    EXPECT_EQ(test::modeOf(dir), 0700u);
}

TEST_F(StoreIntegrity, RootWithTrailingSlashReopensWithItsVisitedCount) {
    test::put(home.home() + "/tree/sub/f", "12345");
    const std::string chosen = home.home() + "/tree/";
    auto saved = ScanStore::save(DirectoryWalker::walk(chosen, [](const WalkProgress&) {}), chosen);
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_EQ(saved->rootPath, home.home() + "/tree");
    RawDb db(saved->fileURL);
    EXPECT_EQ(db.rows("SELECT value FROM meta WHERE key = 'root'"),
              db.rows("SELECT path FROM nodes WHERE parent IS NULL"));

    const auto history = ScanStore::history();
    ASSERT_EQ(history.size(), 1u);
    auto reopened = ScanStore::reopen(history[0]);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->visited(), 2);
    EXPECT_EQ(reopened->root()->logicalSize(), 5);
}

TEST_F(ForgedScan, ReopenReadsTheStoredVisitedCountElseCountsRows) {
    forge(
        "INSERT INTO nodes VALUES ('/r', NULL, 'r', 1, 0, 0, 0, 1, 0, 0),"
        "('/r/a', '/r', 'a', 1, 0, 0, 0, 2, 0, 1),"
        "('/r/b', '/r', 'b', 0, 0, 0, 0, 3, 0, 0);"
        "INSERT INTO meta VALUES ('root', '/r'), ('unreadable', '1');");
    auto r = ScanStore::record(file);
    ASSERT_TRUE(r);
    auto counted = ScanStore::reopen(*r);
    ASSERT_TRUE(counted);
    EXPECT_EQ(counted->visited(), 3);
    RawDb(file).exec("INSERT INTO meta VALUES ('visited', '41')");
    auto stored = ScanStore::reopen(*r);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->visited(), 41);
    EXPECT_EQ(stored->unreadable(), 1);
}

} // namespace
} // namespace tb
