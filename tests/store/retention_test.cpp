#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "store/scan_retention.h"
#include "store/scan_store.h"
#include "store_test_support.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::ForgedScan;
using test::storedScan;

ScanRecord recordOf(const std::string& root, int n) {
    const Uuid id = Uuid::random();
    return {.id = id,
            .rootPath = root,
            .finished = Date{1'000'000 - n, 0},
            .fileURL = "/store/" + id.toString() + ".sqlite"};
}

class RetentionStore : public ::testing::Test {
protected:
    test::TempHome home;
    std::string store = ScanStore::directory();
    std::string policy = store + "/" + std::string(ScanRetention::kPolicyFile);
};

TEST_F(RetentionStore, ChoiceReadsBackAndFallsBackOnAnythingOdd) {
    EXPECT_EQ(ScanRetention::read(store), RetentionPolicy{});

    RetentionPolicy chosen{.keepPerFolder = 2, .pinned = {Uuid::random(), Uuid::random()}};
    ASSERT_TRUE(ScanRetention::write(store, chosen));
    EXPECT_EQ(ScanRetention::read(store), chosen);
    chosen.keepPerFolder.reset();
    ASSERT_TRUE(ScanRetention::write(store, chosen));
    EXPECT_EQ(ScanRetention::read(store), chosen);

    const std::tuple<const char*, std::optional<int>, std::size_t> cases[] = {
        {"keep 0\n", 5, 0},
        {"keep -3\n", 5, 0},
        {"keep 1000\n", 5, 0},
        {"keep 3x\n", 5, 0},
        {"keep\n", 5, 0},
        {"keep 12", 12, 0},
        {"keep all\npin not-a-uuid\n", std::nullopt, 0},
        {"\x01\xff garbage\npin E621E1F8-C36C-495A-93FC-0C247A3E6E5F\n", 5, 1},
    };
    for (const auto& [text, keep, pins] : cases) {
        SCOPED_TRACE(text);
        ::unlink(policy.c_str());
        test::writeFile(policy, text);
        const RetentionPolicy read = ScanRetention::read(store);
        EXPECT_EQ(read.keepPerFolder, keep);
        EXPECT_EQ(read.pinned.size(), pins);
    }
}

TEST_F(RetentionStore, ChoiceIsNeverReadOrWrittenThroughALink) {
    test::TempDir elsewhere;
    const std::string outside = elsewhere / "notes";
    test::writeFile(outside, "keep 1\n");
    std::filesystem::create_symlink(outside, policy);
    EXPECT_EQ(ScanRetention::read(store).keepPerFolder, 5);

    ASSERT_TRUE(ScanRetention::write(store, RetentionPolicy{.keepPerFolder = 3}));
    EXPECT_EQ(test::readFile(outside), "keep 1\n");
    EXPECT_FALSE(std::filesystem::is_symlink(policy));
    EXPECT_EQ(ScanRetention::read(store).keepPerFolder, 3);
}

TEST(RetentionSurplus, KeepsTheNewestOfEachRootAndMachinePinnedAndSpared) {
    // Newest first, as the history lists them.
    std::vector<ScanRecord> history;
    for (int i = 0; i < 6; ++i)
        history.push_back(recordOf(i % 3 == 2 ? "/b" : "/a", i));
    history.push_back(recordOf("/a/", 6)); // another spelling is another folder
    // /a: 0 1 3 4; /b: 2 5
    const auto ids = [](const std::vector<ScanRecord>& rs) {
        std::vector<Uuid> out;
        for (const auto& r : rs)
            out.push_back(r.id);
        return out;
    };
    const auto at = [&history](const std::vector<int>& indices) {
        std::vector<Uuid> out;
        for (int i : indices)
            out.push_back(history[i].id);
        return out;
    };
    RetentionPolicy p;
    const struct {
        std::optional<int> keep;
        std::vector<int> pinned, spared, expected;
    } cases[] = {
        {5, {}, {}, {}},
        {2, {}, {}, {3, 4}},
        {1, {}, {}, {1, 3, 4}},
        {1, {3}, {}, {1, 4}},
        {1, {}, {4}, {1, 3}},
        {1, {0}, {}, {1, 3, 4}}, // a pinned scan holds its place among the newest
        {std::nullopt, {}, {}, {}},
    };
    for (const auto& c : cases) {
        const auto pinned = at(c.pinned);
        p.keepPerFolder = c.keep;
        p.pinned = {pinned.begin(), pinned.end()};
        std::vector<std::string> spared;
        for (int i : c.spared)
            spared.push_back(history[i].fileURL);
        EXPECT_EQ(ids(ScanRetention::surplus(history, "/a", p, spared)), at(c.expected))
            << "keep " << c.keep.value_or(0);
    }

    // Another machine's folder of the same path keeps its own scans.
    for (const char* host : {"", "nas", "ann@nas", "", "nas"}) {
        history.push_back(recordOf("/srv", int(history.size())));
        history.back().context.host = host;
    }
    p = RetentionPolicy{.keepPerFolder = 1};
    const std::pair<std::string, std::vector<int>> hosts[] = {
        {"", {10}}, {"nas", {11}}, {"ann@nas", {}}, {"elsewhere", {}}};
    for (const auto& [host, surplus] : hosts)
        EXPECT_EQ(ids(ScanRetention::surplus(history, "/srv", p, {}, host)), at(surplus)) << host;
}

TEST_F(RetentionStore, SaveRemovesTheRootsOldestScansOnly) {
    std::vector<ScanRecord> a;
    for (int i = 0; i < 7; ++i)
        a.push_back(storedScan(store, "/a", 1'000'000 + i)); // a[6] newest
    const ScanRecord b1 = storedScan(store, "/b", 10), b2 = storedScan(store, "/b", 20);
    // Files of the store that are not named after their scan stay.
    const std::string foreign = store + "/kept by hand.sqlite";
    std::filesystem::copy_file(a[0].fileURL, foreign);
    test::setModified(foreign, 5);
    test::writeFile(a[0].fileURL + "-wal", "");
    test::writeFile(a[0].fileURL + "-shm", "");
    RetentionPolicy pins{.pinned = {a[1].id}};
    ASSERT_TRUE(ScanRetention::write(store, pins));

    const auto removed = ScanRetention::pruneAfterSave(store, a[6]);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].id, a[0].id);
    for (const std::string& gone : {a[0].fileURL, a[0].fileURL + "-wal", a[0].fileURL + "-shm"})
        EXPECT_FALSE(test::exists(gone)) << gone;
    for (int i = 1; i < 7; ++i)
        EXPECT_TRUE(test::exists(a[i].fileURL)) << i;
    for (const std::string& kept : {b1.fileURL, b2.fileURL, foreign})
        EXPECT_TRUE(test::exists(kept)) << kept;

    // "All" keeps everything; a count of one keeps the newest and the pin.
    pins.keepPerFolder.reset();
    ASSERT_TRUE(ScanRetention::write(store, pins));
    EXPECT_TRUE(ScanRetention::pruneAfterSave(store, a[6]).empty());
    pins.keepPerFolder = 1;
    ASSERT_TRUE(ScanRetention::write(store, pins));
    EXPECT_EQ(ScanRetention::pruneAfterSave(store, a[6], {a[3].fileURL}).size(), 3u);
    for (int i : {1, 3, 6})
        EXPECT_TRUE(test::exists(a[i].fileURL)) << i;
    for (int i : {2, 4, 5})
        EXPECT_FALSE(test::exists(a[i].fileURL)) << i;
}

TEST_F(RetentionStore, RemovalTouchesOnlyTheStoresOwnRegularFiles) {
    test::TempDir elsewhere;
    const ScanRecord outside = storedScan(elsewhere.path(), "/a", 100);
    const ScanRecord inside = storedScan(store, "/a", 200);

    // A file of another folder, or one not named after its scan, is refused.
    EXPECT_FALSE(ScanRetention::remove(store, outside));
    EXPECT_TRUE(test::exists(outside.fileURL));
    ScanRecord misnamed = inside;
    misnamed.id = Uuid::random();
    EXPECT_FALSE(ScanRetention::remove(store, misnamed));
    EXPECT_TRUE(test::exists(inside.fileURL));

    // A scan name that is a link to the user's file: neither goes.
    const std::string users = elsewhere / "thesis.sqlite";
    test::writeFile(users, "mine");
    ScanRecord linked = inside;
    linked.id = Uuid::random();
    linked.fileURL = store + "/" + linked.id.toString() + ".sqlite";
    std::filesystem::create_symlink(users, linked.fileURL);
    EXPECT_FALSE(ScanRetention::remove(store, linked));
    EXPECT_TRUE(std::filesystem::is_symlink(linked.fileURL));
    EXPECT_EQ(test::readFile(users), "mine");

    // Nor is a side file that is a link followed.
    std::filesystem::create_symlink(users, inside.fileURL + "-wal");
    EXPECT_TRUE(ScanRetention::remove(store, inside));
    EXPECT_FALSE(test::exists(inside.fileURL));
    EXPECT_EQ(test::readFile(users), "mine");

    // Nor a store folder that is a link.
    const std::string linkedStore = home.home() + "/linked-store";
    std::filesystem::create_symlink(elsewhere.path(), linkedStore);
    ScanRecord viaLink = outside;
    viaLink.fileURL = linkedStore + "/" + outside.id.toString() + ".sqlite";
    EXPECT_FALSE(ScanRetention::remove(linkedStore, viaLink));
    EXPECT_TRUE(test::exists(outside.fileURL));
}

TEST_F(ForgedScan, RootCheckReadsTheRootRowOnly) {
    const ScanRecord saved = storedScan(ScanStore::directory(), "/a", 100);
    EXPECT_TRUE(ScanStore::holdsRoot(saved));
    ScanRecord other = saved;
    other.fileURL = ScanStore::directory() + "/missing.sqlite";
    EXPECT_FALSE(ScanStore::holdsRoot(other));

    forge(
        "INSERT INTO meta VALUES ('root', '/r');"
        "INSERT INTO nodes VALUES ('/r/x', '/r', 'x', 0, 1, 1, 0, 1, 0, 0);");
    auto rootless = ScanStore::record(file);
    ASSERT_TRUE(rootless);
    EXPECT_FALSE(ScanStore::holdsRoot(*rootless));
    test::writeFile(file, "not a database at all");
    rootless = ScanStore::record(file);
    EXPECT_FALSE(rootless && ScanStore::holdsRoot(*rootless));
}

} // namespace
} // namespace tb
