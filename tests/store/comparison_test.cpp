#include "store/scan_comparison.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "store_test_support.h"

namespace tb {
namespace {

using test::ForgedScan;
using test::TreeBuilder;
using Kind = ScanChange::Kind;

// Each change as "id name delta", in the order given or sorted.
std::vector<std::string> described(const std::vector<ScanChange>& changes, bool sorted = false) {
    std::vector<std::string> out;
    for (const auto& c : changes)
        out.push_back(c.id + " " + c.name + " " + std::to_string(c.delta()));
    if (sorted) std::sort(out.begin(), out.end());
    return out;
}

// The comparison with the previous tree, checked against the one with it stored.
std::vector<ScanChange> compareBoth(TreeBuilder& b, const ScanNode* current, ScanNode* previous) {
    test::TempHome home;
    const auto direct = ScanComparison::compare(current, previous);
    auto saved = ScanStore::save(test::forestOf(b.tree(previous)), std::string(previous->path()));
    EXPECT_TRUE(saved);
    if (saved) {
        EXPECT_EQ(described(ScanComparison::compare(current, *saved), true),
                  described(direct, true));
    }
    return direct;
}

TEST(ScanComparison, ThresholdsAtTheirBoundaries) {
    constexpr std::int64_t absent = -1;
    const std::tuple<std::int64_t, std::int64_t, std::optional<Kind>> cases[] = {
        {absent, 1'000'000, std::nullopt}, // additions need strictly more
        {absent, 1'000'001, Kind::added},
        {1'000'000, absent, std::nullopt},
        {1'000'001, absent, Kind::removed},
        {10'000'000, 11'000'000, Kind::grew}, // growth needs at least
        {10'000'000, 10'999'999, std::nullopt},
        {10'000'000, 9'000'000, Kind::shrank},
        {10'000'000, 9'000'001, std::nullopt},
        {19'999'999, 20'999'999, Kind::grew},
        {20'000'000, 21'000'000, Kind::grew}, // 5 % from here on
        {20'000'000, 20'999'999, std::nullopt},
        {20'000'019, 21'000'019, Kind::grew}, // 20,000,019 / 20 = 1,000,000
        {100'000'000, 95'000'000, Kind::shrank},
        {100'000'000, 95'000'001, std::nullopt},
        {5'000'000, 0, Kind::shrank}, // still there, so not removed
        {0, 1'000'000, Kind::grew},
        {INT64_MAX, 0, Kind::shrank}, // the stored size may be any
    };
    for (const auto& [before, after, kind] : cases) {
        SCOPED_TRACE(std::to_string(before) + " -> " + std::to_string(after));
        // One item /r/x in each tree, if not absent; the roots stay equal so only it changes.
        TreeBuilder b;
        auto tree = [&b](std::int64_t size) {
            return size < 0 ? b.dir("/r") : b.dir("/r", {b.file("/r/x", size)});
        };
        ScanNode* previous = tree(before);
        const auto changes = compareBoth(b, tree(after), previous);
        if (!kind) {
            EXPECT_TRUE(changes.empty());
            continue;
        }
        const std::string prefix = *kind == Kind::added     ? "added:"
                                   : *kind == Kind::removed ? "removed:"
                                                            : "changed:";
        EXPECT_EQ(changes, (std::vector<ScanChange>{{prefix + "/r/x", "/r/x", "x", *kind,
                                                     std::max<std::int64_t>(before, 0),
                                                     std::max<std::int64_t>(after, 0)}}));
    }
    EXPECT_EQ((ScanChange{.previousBytes = INT64_MAX, .currentBytes = INT64_MIN}.delta()),
              INT64_MIN);
}

TEST(ScanComparison, FoldersChangeWithTheirContentsAndNamesComeFromTheRightTree) {
    TreeBuilder b;
    ScanNode* previous = b.dir("/r", {b.dir("/r/old", {b.file("/r/old/big", 3'000'000)})});
    ScanNode* current = b.dir("/r", {b.dir("/r/new", {b.file("/r/new/big", 8'000'000)})});
    previous->rollup();
    current->rollup();
    auto got = described(compareBoth(b, current, previous));
    // /r grew by 5 MB; the two 8 MB entries tie and the two 3 MB entries tie.
    ASSERT_EQ(got.size(), 5u);
    std::sort(got.begin() + 0, got.begin() + 2);
    std::sort(got.begin() + 3, got.begin() + 5);
    EXPECT_EQ(got,
              (std::vector<std::string>{"added:/r/new new 8000000", "added:/r/new/big big 8000000",
                                        "changed:/r r 5000000", "removed:/r/old old -3000000",
                                        "removed:/r/old/big big -3000000"}));
}

// A forged scan may hold a path twice: each tree counts it once, as its last in pre-order.
TEST(ScanComparison, APathHeldTwiceCountsOnce) {
    TreeBuilder b;
    ScanNode* previous = b.dir(
        "/r", {b.file("/r/a", 2'000'000), b.file("/r/b", 40'000'000), b.file("/r/b", 3'000'000)});
    ScanNode* current = b.dir("/r", {b.file("/r/a", 30'000'000), b.file("/r/a", 2'000'000)});
    EXPECT_EQ(described(ScanComparison::compare(current, previous)),
              (std::vector<std::string>{"removed:/r/b b -40000000", "changed:/r/a a 28000000"}));
}

// Small changes are none of them noticeable, all counted, and a stored scan agrees.
TEST(ScanComparison, ChangesUnderTheThresholdsAreCountedAndTheLargestKept) {
    TreeBuilder b;
    ScanNode* previous =
        b.dir("/r", {b.dir("/r/d", {b.file("/r/d/a", 8192), b.file("/r/d/gone", 4096)}),
                     b.file("/r/big", 30'000'000), b.file("/r/same", 500)});
    ScanNode* current =
        b.dir("/r", {b.dir("/r/d", {b.file("/r/d/a", 8192), b.file("/r/d/new", 12'288)}),
                     b.file("/r/big", 30'000'000), b.file("/r/same", 500), b.file("/r/empty", 0)});
    previous->rollup();
    current->rollup();
    test::TempHome home;
    auto saved = ScanStore::save(test::forestOf(b.tree(previous)), "/r");
    ASSERT_TRUE(saved);
    const std::vector<std::string> smaller = {"added:/r/d/new new 12288", "changed:/r r 8192",
                                              "changed:/r/d d 8192", "removed:/r/d/gone gone -4096",
                                              "added:/r/empty empty 0"};
    for (const ChangeList& list : {ScanComparison::changeList(current, previous),
                                   ScanComparison::changeList(current, *saved)}) {
        EXPECT_TRUE(list.listed.empty());
        EXPECT_EQ(list.noticeableCount, 0u);
        EXPECT_EQ(list.smallerCount, 5u);
        auto got = described(list.smaller);
        // Largest first; /r and /r/d tie.
        ASSERT_EQ(got.size(), 5u);
        std::sort(got.begin() + 1, got.begin() + 3);
        EXPECT_EQ(got, smaller);
    }
    // The limit bounds each list, never the counts.
    const ChangeList two = ScanComparison::changeList(current, previous, 2);
    EXPECT_EQ(two.smaller.size(), 2u);
    EXPECT_EQ(two.smallerCount, 5u);
    EXPECT_EQ(two.smaller.front().id, "added:/r/d/new");
    EXPECT_EQ(ScanComparison::changeList(previous, previous), ChangeList{});
}

TEST(ScanComparison, EachListKeepsTheLargestUpToItsLimit) {
    TreeBuilder b;
    // `count` new files of distinct sizes in shuffled order; root sizes stay 0.
    const auto added = [&b](int count, std::int64_t base, std::int64_t spread) {
        std::vector<ScanNode*> files;
        for (int i = 0; i < count; ++i)
            files.push_back(b.file("/r/f" + std::to_string(i),
                                   base + std::int64_t(i) * 7'919 % count * spread));
        ScanNode* current = b.dir("/r");
        b.setChildren(current, files);
        return current;
    };
    ScanNode* previous = b.dir("/r");
    const ScanNode* noticeable = added(500, 2'000'000, 1000);
    const auto listed = ScanComparison::compare(noticeable, previous);
    ASSERT_EQ(listed.size(), 160u);
    for (std::size_t i = 0; i < listed.size(); ++i)
        EXPECT_EQ(listed[i].delta(), 2'499'000 - std::int64_t(i) * 1000);
    EXPECT_EQ(ScanComparison::compare(noticeable, previous, 3).size(), 3u);
    const ChangeList list = ScanComparison::changeList(added(2000, 1, 1), previous, 10);
    EXPECT_EQ(list.smallerCount, 2000u);
    ASSERT_EQ(list.smaller.size(), 10u);
    for (std::size_t i = 0; i < list.smaller.size(); ++i)
        EXPECT_EQ(list.smaller[i].delta(), 2000 - std::int64_t(i));
}

// Rows out of the store's order are compared as loaded; an unreadable file gives nothing.
TEST_F(ForgedScan, StoredRowsOutOfOrderAreComparedAsLoaded) {
    forge(
        "INSERT INTO nodes VALUES ('/r/b', '/r', 'b', 0, 0, 3000000, 0, 3, 0, 0),"
        "('/r', NULL, 'r', 1, 0, 5000000, 0, 1, 0, 0),"
        "('/r/a', '/r', 'a', 0, 0, 2000000, 0, 2, 0, 0);");
    TreeBuilder b;
    const ScanNode* current = b.dir("/r", {b.file("/r/a", 9'000'000)});
    EXPECT_EQ(described(ScanComparison::compare(current, record()), true),
              (std::vector<std::string>{"changed:/r r -5000000", "changed:/r/a a 7000000",
                                        "removed:/r/b b -3000000"}));
    std::remove(file.c_str());
    EXPECT_TRUE(ScanComparison::compare(current, record()).empty());
}

} // namespace
} // namespace tb
