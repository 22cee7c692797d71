#include <gtest/gtest.h>

#include "scan/subtree_times.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::TreeBuilder;

Date at(std::int64_t seconds) {
    return Date::fromUnix(seconds, 0);
}

TEST(SubtreeTimes, EachFolderTakesTheNewestTimeAnywhereBelowIt) {
    TreeBuilder t;
    auto folder = [&t](const char* path, std::int64_t time, std::vector<ScanNode*> children) {
        ScanNode* d = t.dir(path, {.modified = at(time)});
        t.setChildren(d, children);
        return d;
    };
    auto file = [&t](const char* path, std::int64_t time) {
        return t.file(path, {.modified = at(time)});
    };
    ScanNode* deep = folder("/t/a/deep", 20, {file("/t/a/deep/new", 900)});
    ScanNode* a = folder("/t/a", 50, {file("/t/a/old", 10), deep});
    ScanNode* b = folder("/t/b", 700, {file("/t/b/f", 30)}); // newer than its files
    ScanNode* root = folder("/t", 100, {a, b, folder("/t/empty", 5, {}), file("/t/top", 300)});
    const auto table = SubtreeTimes::newest(root);

    const struct {
        const char* path;
        std::int64_t newest;
    } rows[] = {
        {"/t", 900},      {"/t/a", 900},   {"/t/a/deep", 900},
        {"/t/b", 700},    {"/t/empty", 5}, {"/t/top", 300}, // a file answers with its own time
        {"/t/a/old", 10},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SubtreeTimes::newestOf(*t.at(row.path), table), at(row.newest)) << row.path;
    // Only folders are held, and the nodes keep their own times.
    EXPECT_EQ(table.size(), 5u);
    EXPECT_EQ(t.at("/t/a")->modified(), at(50));
}

TEST(SubtreeTimes, NothingForNoRootOrAFileAndAFolderOutsideAnswersWithItsOwn) {
    TreeBuilder t;
    ScanNode* file = t.file("/t/f", {.modified = at(40)});
    ScanNode* root = t.dir("/t", std::vector<ScanNode*>{file});
    EXPECT_TRUE(SubtreeTimes::newest(nullptr).empty());
    EXPECT_TRUE(SubtreeTimes::newest(file).empty());
    ScanNode* stranger = t.dir("/o/x", {.modified = at(7)});
    t.setChildren(stranger, {t.file("/o/x/n", {.modified = at(99)})});
    EXPECT_EQ(SubtreeTimes::newestOf(*stranger, SubtreeTimes::newest(root)), at(7));
}

TEST(SubtreeTimes, AChainDeeperThanAnyStackIsWalkedInOnePass) {
    TreeBuilder t;
    ScanNode* below = t.file("/leaf", {.modified = at(2'000'000'000)});
    for (int i = 0; i < 20'000; ++i) {
        ScanNode* d = t.dir("/d" + std::to_string(i), {.modified = at(i)});
        t.setChildren(d, {below});
        below = d;
    }
    const auto table = SubtreeTimes::newest(below);
    EXPECT_EQ(table.size(), 20'000u);
    EXPECT_EQ(SubtreeTimes::newestOf(*below, table), at(2'000'000'000));
}

} // namespace
} // namespace tb
