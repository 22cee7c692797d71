#include "analysis/duplicate_finder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "analysis/text.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"
#include "support/platform_fakes.h"
#include "platform/file_digest.h"

namespace tb {
namespace {

using test::TempDir;
using test::TreeBuilder;

std::vector<DuplicateGroup> scanAndMatch(const std::string& root) {
    return DuplicateFinder::groups(test::scanFolder(root).nodes(), 40);
}

std::set<std::string> pathsOf(const DuplicateGroup& g) {
    return {g.paths.begin(), g.paths.end()};
}

// Contents by path; a path without contents cannot be opened.
class FakeReader : public platform::ContentReader {
public:
    std::map<std::string, std::string> files;
    mutable std::vector<std::string> digested;

    std::optional<platform::FileDigest> digest(const std::string& path,
                                               std::stop_token) const override {
        digested.push_back(path);
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        platform::Sha256 h;
        h.update(it->second.data(), it->second.size());
        return platform::FileDigest{h.finish(), static_cast<std::int64_t>(it->second.size())};
    }
    std::optional<std::string> head(const std::string& path, std::size_t length) const override {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second.substr(0, length);
    }
    // A scanned file holding `contents`.
    void add(TreeBuilder& t, const std::string& path, std::string contents) {
        t.file(path, std::int64_t(contents.size()));
        files[path] = std::move(contents);
    }
};

// Files on the disk below `dir`, or scanned nodes below /r read through `reader`.
class Duplicates : public ::testing::Test {
protected:
    TempDir dir;
    TreeBuilder t{"/r"};
    FakeReader reader;
};

TEST_F(Duplicates, OnlyEqualContentsAbove4096BytesAreCompared) {
    test::putSized(dir / "small/a", 4096, 1);
    test::putSized(dir / "small/b", 4096, 1);
    test::putSized(dir / "big/a", 4097, 2);
    test::putSized(dir / "big/b", 4097, 2);
    test::put(dir / "empty/a", "");
    test::put(dir / "empty/b", "");
    test::putSized(dir / "differ/a", 10'000, 1);
    test::putSized(dir / "differ/b", 10'000, 2);
    // Large files that share their first bytes and differ later.
    std::string big(200'000, 'x');
    test::put(dir / "differ/c", big);
    big.back() = 'y';
    test::put(dir / "differ/d", big);
    const auto groups = scanAndMatch(dir.path());
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].size, 4097);
    EXPECT_EQ(pathsOf(groups[0]), (std::set<std::string>{dir / "big/a", dir / "big/b"}));
    const auto d = platform::systemContentReader().digest(dir / "big/a", {})->sha256;
    EXPECT_EQ(groups[0].id,
              text::lowercaseHex(std::string_view(reinterpret_cast<const char*>(d.data()), 32)));
}

TEST_F(Duplicates, HardLinksCountAsOneCopy) {
    test::putSized(dir / "a", 300'000, 3);
    ASSERT_EQ(::link((dir / "a").c_str(), (dir / "b").c_str()), 0);
    test::putSized(dir / "c", 300'000, 3);
    // Links alone are one storage: nothing to report.
    test::putSized(dir / "x", 300'000, 4);
    ASSERT_EQ(::link((dir / "x").c_str(), (dir / "y").c_str()), 0);
    const auto groups = scanAndMatch(dir.path());
    ASSERT_EQ(groups.size(), 1u);
    // The linked pair by the name that counts its size, then the copy.
    EXPECT_EQ(groups[0].paths, (std::vector<std::string>{dir / "a", dir / "c"}));
}

TEST_F(Duplicates, ReflinkCopiesOfOneBlockCountAsOneCopy) {
    test::FakeExtents extents;
    for (const char* name : {"a", "b", "c", "d"})
        reader.add(t, "/r/" + std::string(name), std::string(10'000, 'x'));
    extents.blocks = {{"/r/a", 7}, {"/r/b", 7}, {"/r/d", 9}};
    const DuplicateSearch search{.reader = &reader, .extents = &extents};
    const auto groups = DuplicateFinder::groups(t.nodes(), 40, search);
    ASSERT_EQ(groups.size(), 1u);
    // b shares a's blocks; d shares blocks with something outside the group.
    EXPECT_EQ(groups[0].paths, (std::vector<std::string>{"/r/a", "/r/c", "/r/d"}));

    extents.blocks = {{"/r/a", 7}, {"/r/b", 7}, {"/r/c", 7}, {"/r/d", 7}};
    EXPECT_TRUE(DuplicateFinder::groups(t.nodes(), 40, search).empty());
}

TEST_F(Duplicates, UnreadableVanishedOrChangedCopiesAreLeftOut) {
    for (auto name : {"a", "b", "c"})
        test::putSized(dir / name, 50'000, 4);
    const ScanForest forest = test::scanFolder(dir.path());
    ASSERT_EQ(::unlink((dir / "b").c_str()), 0); // gone after the scan
    auto groups = DuplicateFinder::groups(forest.nodes(), 40);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(pathsOf(groups[0]), (std::set<std::string>{dir / "a", dir / "c"}));

    // One copy that cannot be opened leaves a single readable one: no group.
    t.file("/r/x", {.logicalSize = 50'000, .allocatedSize = 50'000, .inode = 1});
    t.file("/r/y", {.logicalSize = 50'000, .allocatedSize = 50'000, .inode = 2});
    reader.files["/r/x"] = std::string(50'000, 'q');
    EXPECT_TRUE(DuplicateFinder::groups(t.nodes(), 40, {{}, &reader}).empty());
    reader.files["/r/y"] = std::string(50'000, 'q');
    EXPECT_EQ(DuplicateFinder::groups(t.nodes(), 40, {{}, &reader}).size(), 1u);
    // Both changed length since the scan: neither is the file that was scanned.
    reader.files["/r/x"] = reader.files["/r/y"] = std::string(60'000, 'q');
    EXPECT_TRUE(DuplicateFinder::groups(t.nodes(), 40, {{}, &reader}).empty());
}

TEST_F(Duplicates, SpecialFilesAreNeverReadNorBlock) {
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const auto& system = platform::systemContentReader();
    auto digest = std::async(std::launch::async, [&] { return system.digest(dir / "fifo", {}); });
    auto head = std::async(std::launch::async, [&] { return system.head(dir / "fifo", 4096); });
    ASSERT_EQ(digest.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ASSERT_EQ(head.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(digest.get());
    EXPECT_FALSE(head.get());
    EXPECT_FALSE(system.digest("/dev/zero", {})); // a device never ends

    // A FIFO among scanned nodes, even with a size that makes it a candidate.
    TreeBuilder scanned(dir.path());
    scanned.file(dir / "fifo", {.logicalSize = 8192, .inode = 77});
    test::putSized(dir / "real", 8192, 5);
    scanned.file(dir / "real", {.logicalSize = 8192, .allocatedSize = 8192, .inode = 78});
    auto groups = std::async(std::launch::async,
                             [&] { return DuplicateFinder::groups(scanned.nodes(), 40); });
    ASSERT_EQ(groups.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(groups.get().empty());
}

TEST_F(Duplicates, OrdersBySizeTimesCountAndKeepsNodeOrderInAGroup) {
    for (auto name : {"p1", "p2"})
        reader.add(t, "/r/" + std::string(name), std::string(12'000'000, 'p'));
    for (auto name : {"t3", "t1", "t2"})
        reader.add(t, "/r/" + std::string(name), std::string(10'000'000, 't'));
    const auto groups = DuplicateFinder::groups(t.nodes(), 40, {{}, &reader});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].size, 10'000'000);
    EXPECT_EQ(groups[0].paths, (std::vector<std::string>{"/r/t3", "/r/t1", "/r/t2"}));
    EXPECT_EQ(groups[1].size, 12'000'000);
}

TEST_F(Duplicates, LimitIsCheckedOnlyBetweenSizes) {
    // One size holding three pairs, and a smaller size with one more pair.
    for (int i = 0; i < 6; ++i)
        reader.add(t, "/r/a" + std::to_string(i), std::string(9000, char('a' + i / 2)));
    for (auto name : {"/r/b0", "/r/b1"})
        reader.add(t, name, std::string(5000, 'b'));
    EXPECT_EQ(DuplicateFinder::groups(t.nodes(), 1, {{}, &reader}).size(), 3u);
    EXPECT_EQ(DuplicateFinder::groups(t.nodes(), 3, {{}, &reader}).size(), 3u);
    EXPECT_EQ(DuplicateFinder::groups(t.nodes(), 4, {{}, &reader}).size(), 4u);
}

TEST_F(Duplicates, UniqueLeadingBytesSpareTheFullRead) {
    for (auto [name, fill] : {std::pair{"/r/a", 'a'}, {"/r/b", 'b'}, {"/r/c", 'a'}})
        reader.add(t, name, std::string(100'000, fill));
    DuplicateStats stats;
    const auto groups = DuplicateFinder::groups(t.nodes(), 40, {{}, &reader}, &stats);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].paths, (std::vector<std::string>{"/r/a", "/r/c"}));
    EXPECT_EQ(reader.digested, (std::vector<std::string>{"/r/a", "/r/c"}));
    EXPECT_EQ(stats.bytesHashed, 200'000);

    // A stopped search reads nothing more.
    reader.digested.clear();
    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(DuplicateFinder::groups(t.nodes(), 40, {stop.get_token(), &reader}).empty());
    EXPECT_TRUE(reader.digested.empty());
}

TEST_F(Duplicates, SubtreeFormSearchesTheNodeAndItsDescendants) {
    test::putSized(dir / "in/a", 5000, 6);
    test::putSized(dir / "in/deep/b", 5000, 6);
    test::putSized(dir / "out/c", 5000, 6);
    const ScanForest forest = test::scanFolder(dir.path());
    const ScanNode* in = test::findNode(forest, dir / "in");
    ASSERT_TRUE(in);
    const auto groups = DuplicateFinder::groups(*in);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(pathsOf(groups[0]), (std::set<std::string>{dir / "in/a", dir / "in/deep/b"}));
}

} // namespace
} // namespace tb
