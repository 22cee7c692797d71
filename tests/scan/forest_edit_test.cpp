#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "scan/forest_edit.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using namespace tb::test;

// /r holds a (two files), b and c (the two names of one file, counted under
// b's, which sorts first) and c/g.
ScanForest sample(std::optional<std::uint64_t> unreadable = std::nullopt) {
    TreeBuilder t("/r");
    ScanNode* a = t.dir("/r/a");
    t.file("/r/a/f1", {1000, 1000, 11});
    t.file("/r/a/f2", {2000, 2000, 12});
    t.file("/r/b/link", {3000, 3000, 20});
    t.file("/r/c/link", {0, 0, 20});
    t.file("/r/c/g", {500, 500, 30});
    a->setUnreadable(unreadable.has_value());
    t.rollUp();
    ScanContext context = testContext("/r");
    context.hardLinks = HardLinkMode::once;
    return t.forest(context, unreadable ? 1 : 0, 9);
}

std::int64_t sizeAt(const ScanForest& f, const std::string& path) {
    const ScanNode* n = ForestEdit::nodeAt(f, path);
    return n ? n->allocatedSize() : -1;
}

TEST(ForestEdit, WithoutTakesItemsOffEveryFolderAboveAndRecountsLinks) {
    struct Case {
        std::vector<std::string> paths;
        std::int64_t root, a, b, c;
        std::int64_t visited;
    };
    const Case cases[] = {
        {{"/r/a/f1"}, 5500, 2000, 3000, 500, 8},
        // The name left behind takes the file over: the total stays.
        {{"/r/b"}, 6500, 3000, -1, 3500, 7},
        {{"/r/c/link"}, 6500, 3000, 3000, 500, 8},
        {{"/r/b", "/r/c"}, 3000, 3000, -1, -1, 4},
        // One inside another leaves once.
        {{"/r/a", "/r/a/f1"}, 3500, -1, 3000, 500, 6},
    };
    const ScanForest source = sample();
    ASSERT_EQ(source.root()->allocatedSize(), 6500);
    for (const Case& c : cases) {
        auto edited = ForestEdit::without(source, c.paths);
        ASSERT_TRUE(edited) << c.paths.front();
        const ScanForest& f = edited->forest;
        EXPECT_EQ(f.root()->allocatedSize(), c.root) << c.paths.front();
        EXPECT_EQ(sizeAt(f, "/r/a"), c.a) << c.paths.front();
        EXPECT_EQ(sizeAt(f, "/r/b"), c.b) << c.paths.front();
        EXPECT_EQ(sizeAt(f, "/r/c"), c.c) << c.paths.front();
        EXPECT_EQ(f.visited(), c.visited) << c.paths.front();
        for (const std::string& p : c.paths)
            EXPECT_EQ(ForestEdit::nodeAt(f, p), nullptr) << p;
        // Children stay largest first.
        for (const ScanNode* n : f.nodes()) {
            const auto kids = n->children();
            for (std::size_t i = 1; i < kids.size(); ++i)
                EXPECT_GE(kids[i - 1]->allocatedSize(), kids[i]->allocatedSize());
        }
    }
    // The source is left as it was: others may be reading it.
    EXPECT_EQ(source.root()->allocatedSize(), 6500);
    EXPECT_EQ(sizeAt(source, "/r/c"), 500);
}

TEST(ForestEdit, NothingChangesForTheRootOrAPathNotInTheTree) {
    const ScanForest source = sample();
    for (const char* p : {"/r", "/r/zz", "/elsewhere/a", "/r/a/f1/deeper"}) {
        const std::vector<std::string> paths{p};
        EXPECT_FALSE(ForestEdit::without(source, paths)) << p;
    }
}

TEST(ForestEdit, UnreadableFoldersThatLeaveAreNoLongerCounted) {
    const ScanForest source = sample(1);
    const std::vector<std::string> paths{"/r/a"};
    auto edited = ForestEdit::without(source, paths);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->forest.unreadable(), 0);
}

TEST(ForestEdit, FollowedNodesAreFoundInTheCopyByTheirIdentity) {
    const ScanForest source = sample();
    const ScanNode* c = ForestEdit::nodeAt(source, "/r/c");
    const ScanNode* f1 = ForestEdit::nodeAt(source, "/r/a/f1");
    const std::vector<const ScanNode*> follow{c, f1};
    const std::vector<std::string> paths{"/r/a"};
    auto edited = ForestEdit::without(source, paths, follow);
    ASSERT_TRUE(edited);
    ASSERT_EQ(edited->copies.count(c), 1u);
    EXPECT_EQ(edited->copies.at(c)->id(), c->id());
    EXPECT_EQ(edited->copies.at(c), ForestEdit::nodeAt(edited->forest, "/r/c"));
    EXPECT_EQ(edited->copies.count(f1), 0u);
}

TEST(ForestEdit, WithPutsAWalkedItemInPlace) {
    const ScanForest source = sample();
    const std::vector<std::string> gone{"/r/a"};
    auto without = ForestEdit::without(source, gone);
    ASSERT_TRUE(without);

    TreeBuilder item("/r/a");
    item.file("/r/a/f1", {1000, 1000, 11});
    item.file("/r/a/f3", {400, 400, 13});
    item.rollUp();
    // A walk counts what it listed below its root: the two files.
    const ForestEdit::WalkedItem walked{item.forest(testContext("/r/a"), 0, 2), 7,
                                        Date::fromUnix(5, 0)};
    auto back = ForestEdit::with(without->forest, walked);
    ASSERT_TRUE(back);
    EXPECT_EQ(sizeAt(back->forest, "/r/a"), 1400);
    EXPECT_EQ(back->forest.root()->allocatedSize(), 4900);
    const ScanNode* a = ForestEdit::nodeAt(back->forest, "/r/a");
    EXPECT_EQ(a->inode(), 7u);
    EXPECT_EQ(a->parent(), back->forest.root());
    EXPECT_EQ(a->path(), "/r/a");
    EXPECT_EQ(back->forest.visited(), 9);

    // In place of a node of the same name; nowhere without its folder.
    auto again = ForestEdit::with(back->forest, walked);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->forest.root()->allocatedSize(), 4900);
    TreeBuilder lost("/r/zz/q");
    lost.rollUp();
    EXPECT_FALSE(
        ForestEdit::with(source, {lost.forest(testContext("/r/zz/q")), 1, Date::distantPast()}));
}

} // namespace
} // namespace tb
