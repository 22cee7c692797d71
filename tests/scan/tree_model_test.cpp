#include <gtest/gtest.h>

#include "scan/node_arena.h"
#include "scan/scan_forest.h"
#include "scan/size_ranking.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::TreeBuilder;

TEST(ScanNode, RollupSumsChildrenAndIgnoresTheFoldersOwnSize) {
    TreeBuilder b;
    ScanNode* root = b.dir("/r", {b.dir("/r/a"), b.dir("/r/b")});
    root->setAllocatedSize(4096);
    root->rollup();
    EXPECT_EQ(root->logicalSize(), 0);
    EXPECT_EQ(root->allocatedSize(), 0);

    ScanNode* file = b.file("/f", {.logicalSize = 7, .allocatedSize = 4096});
    file->rollup();
    EXPECT_EQ(file->logicalSize(), 7);
    EXPECT_EQ(file->allocatedSize(), 4096);
}

TEST(ScanNode, SortBySizeIsStableAndFlattenedVisitsSmallestSubtreeFirst) {
    TreeBuilder b;
    ScanNode* a = b.dir("/r/A", {b.file("/r/A/a1", 60), b.file("/r/A/a2", 40)});
    ScanNode* e1 = b.file("/r/e1", 10);
    ScanNode* e2 = b.file("/r/e2", 10);
    ScanNode* root = b.dir("/r", {e1, a, e2});
    root->rollup();
    root->sortBySize();
    EXPECT_EQ(std::vector<ScanNode*>(root->children().begin(), root->children().end()),
              (std::vector<ScanNode*>{a, e1, e2}));
    std::vector<std::string_view> order;
    for (auto* n : root->flattened())
        order.push_back(n->name());
    EXPECT_EQ(order, (std::vector<std::string_view>{"r", "e2", "e1", "A", "a2", "a1"}));
}

// Listed nodes keep their name and parent; the path is rebuilt from the
// nearest node that keeps a whole path (a root, or a node made without a
// parent, which keeps its own even once linked elsewhere).
TEST(ScanNode, PathsAreBuiltFromTheParentChain) {
    NodeArena arena;
    struct Case {
        std::string_view root, name, grandchild, expected;
    };
    const Case cases[] = {
        {"/", "usr", "lib", "/usr/lib"},
        {"/home/u", "a b", "\xff\x01", "/home/u/a b/\xff\x01"},
        {"/home/u/", "x", "y", "/home/u/x/y"},
        {"rel", "x", "", "rel/x/"},
    };
    for (const Case& c : cases) {
        ScanNode* root = arena.make({.path = c.root, .name = "shown", .isDirectory = true});
        ScanNode* child = arena.make({.name = c.name, .isDirectory = true, .parent = root});
        ScanNode* leaf = arena.make({.name = c.grandchild, .parent = child});
        EXPECT_EQ(root->path(), c.root);
        EXPECT_EQ(leaf->path(), c.expected) << c.root;
        EXPECT_EQ(leaf->name(), c.grandchild);
        EXPECT_EQ(leaf->parent(), child);
        std::string appended = "> ";
        leaf->appendPath(appended);
        EXPECT_EQ(appended, "> " + std::string(c.expected));
    }

    ScanNode* own = arena.make({.path = "/elsewhere/f", .name = "f"});
    ScanNode* dir = arena.make({.path = "/d", .name = "d", .isDirectory = true});
    arena.setChildren(dir, std::vector<ScanNode*>{own});
    EXPECT_EQ(own->parent(), dir);
    EXPECT_EQ(own->path(), "/elsewhere/f");
    // A long name runs on past the node without touching its neighbour.
    const std::string longName(300, 'n');
    ScanNode* longOne = arena.make({.name = longName, .parent = dir});
    ScanNode* next = arena.make({.name = "z", .parent = dir});
    EXPECT_EQ(longOne->path(), "/d/" + longName);
    EXPECT_EQ(next->path(), "/d/z");
}

TEST(ScanNode, IdentityIsTheIdAlone) {
    TreeBuilder b;
    ScanNode* x = b.file("/same", 1);
    ScanNode* y = b.file("/same", 1);
    EXPECT_FALSE(*x == *y);
    EXPECT_NE(ScanNodeHash{}(x), ScanNodeHash{}(y));
    const auto before = ScanNodeHash{}(x);
    x->setAllocatedSize(99);
    EXPECT_TRUE(*x == *x);
    EXPECT_EQ(ScanNodeHash{}(x), before);
}

// A chain deeper than any call stack would survive if the tree operations
// recursed.
TEST(ScanNode, DeepChainDoesNotExhaustTheStack) {
    TreeBuilder b;
    constexpr int depth = 200000;
    ScanNode* leaf = b.file("/leaf", {.logicalSize = 3, .allocatedSize = 4096});
    ScanNode* top = leaf;
    for (int i = 0; i < depth; ++i)
        top = b.dir("/d", {top});
    top->rollup();
    top->sortBySize();
    EXPECT_EQ(top->allocatedSize(), 4096);
    EXPECT_EQ(top->flattened().size(), std::size_t(depth + 1));
    ScanForest forest(b.tree(top), 0, depth, ScanContext{});
    EXPECT_EQ(forest.files().size(), 1u);
    EXPECT_EQ(AgeLayout::bands(*top, Date::now())[4].bytes, 4096);
}

TEST(ScanForest, OrdersListsAndKeepsEightyLargestEqualSizesInTraversalOrder) {
    TreeBuilder b;
    ScanNode* c = b.file("/r/F/C", 5);
    ScanNode* root = b.dir("/r", {b.file("/r/A", 10), b.file("/r/B", 20), b.dir("/r/F", {c})});
    root->rollup();
    ScanForest forest(b.tree(root), 0, 4, std::nullopt);
    std::vector<std::string_view> children, nodes, files;
    for (auto* n : root->children())
        children.push_back(n->name());
    for (auto* n : forest.nodes())
        nodes.push_back(n->name());
    for (auto* n : forest.files())
        files.push_back(n->name());
    EXPECT_EQ(children, (std::vector<std::string_view>{"B", "A", "F"}));
    EXPECT_EQ(nodes, (std::vector<std::string_view>{"r", "F", "C", "A", "B"}));
    EXPECT_EQ(files, (std::vector<std::string_view>{"C", "A", "B"}));
    EXPECT_TRUE(forest.context().complete);
    EXPECT_EQ(forest.context().rootPath, "/r");

    TreeBuilder many;
    std::vector<ScanNode*> kids;
    for (int i = 0; i < 100; ++i) {
        kids.push_back(
            many.file("/m/" + std::to_string(i), {.logicalSize = i, .allocatedSize = i + 1}));
    }
    ScanNode* m = many.dir("/m", kids);
    m->rollup();
    ScanForest big(many.tree(m), 3, 100, std::nullopt);
    ASSERT_EQ(big.largestFiles().size(), 80u);
    EXPECT_EQ(big.largestFiles().front()->allocatedSize(), 100);
    EXPECT_EQ(big.largestFiles().back()->allocatedSize(), 21);
    EXPECT_FALSE(big.context().complete);
    // Equal sizes keep traversal order among the largest files.
    TreeBuilder eq;
    std::vector<ScanNode*> same;
    for (int i = 0; i < 81; ++i)
        same.push_back(eq.file("/e/" + std::to_string(i), {.logicalSize = 1, .allocatedSize = 8}));
    ScanForest equal(eq.tree(eq.dir("/e", same)), 0, 81, ScanContext{});
    ASSERT_EQ(equal.largestFiles().size(), 80u);
    const std::vector<const ScanNode*> walked(equal.files().begin(), equal.files().end());
    for (std::size_t i = 0; i < 80; ++i)
        EXPECT_EQ(equal.largestFiles()[i], walked[i]);

    TreeBuilder e;
    ScanNode* lone = e.dir("/lone");
    ScanForest empty(e.tree(lone), 0, 0, ScanContext{});
    EXPECT_EQ(empty.nodes().size(), 1u);
    EXPECT_TRUE(empty.files().empty());
    EXPECT_TRUE(empty.largestFiles().empty());
    EXPECT_EQ(empty.ageBands().size(), 5u);
}

} // namespace
} // namespace tb
