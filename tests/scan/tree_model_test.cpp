#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "scan/age_bands.h"
#include "scan/forest_edit.h"
#include "scan/node_arena.h"
#include "scan/scan_context.h"
#include "scan/scan_forest.h"
#include "scan/size_ranking.h"
#include "scan/subtree_times.h"
#include "scan/volume_accounting.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::testContext;
using test::TreeBuilder;

TEST(ScanNode, RollupSumsChildrenSortBySizeIsStableAndFlattenedVisitsSmallestSubtreeFirst) {
    TreeBuilder b;
    // The folder's own size is ignored.
    ScanNode* empty = b.dir("/s", {b.dir("/s/a"), b.dir("/s/b")});
    empty->setAllocatedSize(4096);
    empty->rollup();
    EXPECT_EQ(empty->logicalSize(), 0);
    EXPECT_EQ(empty->allocatedSize(), 0);
    ScanNode* file = b.file("/f", {.logicalSize = 7, .allocatedSize = 4096});
    file->rollup();
    EXPECT_EQ(file->logicalSize(), 7);
    EXPECT_EQ(file->allocatedSize(), 4096);

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
        // Built from the parent's path, and matched without building it, as
        // the comparison does.
        for (const ScanNode* n : {root, child, leaf}) {
            std::string extended = n->parent() ? n->parent()->path() : "";
            n->extendParentPath(extended);
            EXPECT_EQ(extended, n->path());
            EXPECT_TRUE(n->hasPath(n->path())) << n->path();
            for (const std::string& near : {n->path() + "/", "/" + n->path(), n->path() + "x"})
                EXPECT_FALSE(n->hasPath(near)) << near;
        }
        EXPECT_FALSE(leaf->hasPath(std::string(c.root) + "/" + std::string(c.grandchild)));
    }

    ScanNode* own = arena.make({.path = "/elsewhere/f", .name = "f"});
    ScanNode* dir = arena.make({.path = "/d", .name = "d", .isDirectory = true});
    arena.setChildren(dir, std::vector<ScanNode*>{own});
    EXPECT_EQ(own->parent(), dir);
    EXPECT_EQ(own->path(), "/elsewhere/f");
    EXPECT_TRUE(own->hasPath("/elsewhere/f"));
    EXPECT_FALSE(own->hasPath("/d/f"));
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
    const Date newest = Date::fromUnix(1'650'000'000, 0); // later than the folders' own
    ScanNode* leaf = b.file("/leaf", {.logicalSize = 3, .allocatedSize = 4096, .modified = newest});
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
    const auto table = SubtreeTimes::newest(top);
    EXPECT_EQ(table.size(), std::size_t(depth));
    EXPECT_EQ(SubtreeTimes::newestOf(*top, table), newest);
}

// A walk's forest ranks its files and counts their ages in other passes
// (on a second core from 100,000 nodes) than a stored tree's: same results.
TEST(ScanForest, AWalksListsAndBandsAreThoseOfTheSameTreeReadBack) {
    TreeBuilder b("/w");
    const std::int64_t now = Date::now().seconds;
    const int days[] = {3, 20, 60, 200, 1000}; // inside each band
    for (int d = 0; d < 50; ++d) {
        for (int f = 0; f < 2100; ++f) {
            b.file("/w/" + std::to_string(d) + "/" + std::to_string(f),
                   {.allocatedSize = 4096 * ((f * 7 + d) % 300),
                    .modified = Date::fromUnix(now - days[(f + d) % 5] * 86400, 0)});
        }
    }
    b.rollUp();
    const ScanForest walked(b.tree(), 0, 0, ScanContext{}, ScanForest::WalkedLinks{});
    const ScanForest stored(b.tree(), 0, 0, ScanContext{});
    ASSERT_GE(walked.nodes().size(), 100'000u);
    EXPECT_EQ(walked.nodes(), stored.nodes());
    EXPECT_EQ(walked.largestFiles(), stored.largestFiles());
    EXPECT_EQ(walked.ageBands(), stored.ageBands());
    EXPECT_EQ(walked.ageBands()[0].fileCount, 21'000);
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

// Names of every width the node encodes differently: held in the node, run
// on past it, and long enough to need a length of their own.
TEST(NodeLayout, NamesAndPathsOfEveryLengthReadBackWhole) {
    for (std::size_t length : {0u, 1u, 3u, 4u, 11u, 254u, 255u, 256u, 4096u}) {
        SCOPED_TRACE(length);
        NodeArena arena;
        const std::string name(length, 'n');
        const std::string rootPath = "/top/r" + name;
        ScanNode* root = arena.make({.path = rootPath, .name = name, .isDirectory = true});
        ScanNode* child = arena.make({.name = name, .inode = 7, .parent = root});
        // Made right after: would be overwritten by a name that ran too far.
        ScanNode* next = arena.make({.name = "after", .inode = 8, .parent = root});
        arena.setChildren(root, std::vector<ScanNode*>{child, next});

        EXPECT_EQ(root->name(), name);
        EXPECT_EQ(root->path(), rootPath);
        EXPECT_EQ(child->name(), name);
        EXPECT_EQ(child->path(), rootPath + "/" + name);
        EXPECT_EQ(child->inode(), 7u);
        EXPECT_EQ(next->name(), "after");
        EXPECT_EQ(next->path(), rootPath + "/after");
        EXPECT_EQ(next->inode(), 8u);
    }
}

// The date and the flags share a word: setting either leaves the other.
// Dates beyond what a node keeps are clamped.
TEST(NodeLayout, DatesAndFlagsKeepEachOther) {
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    constexpr auto least = std::numeric_limits<std::int64_t>::min();
    const std::pair<Date, Date> dates[] = {
        {Date::distantPast(), Date::distantPast()},
        {Date{0, 0}, Date{0, 0}},
        {Date{-1, 999'999'999}, Date{-1, 999'999'999}},
        {Date{1'700'000'000, 123'456'789}, Date{1'700'000'000, 123'456'789}},
        {Date{ScanNode::kEarliestSeconds, 1}, Date{ScanNode::kEarliestSeconds, 1}},
        {Date{most, 5}, Date{ScanNode::kLatestSeconds, 5}},
        {Date{least, 2}, Date{ScanNode::kEarliestSeconds, 2}}};
    const LeftOutKind kinds[] = {LeftOutKind::none, LeftOutKind::excluded, LeftOutKind::snapshots,
                                 LeftOutKind::mount};
    for (const auto& [date, kept] : dates) {
        for (LeftOutKind kind : kinds) {
            for (bool unreadable : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << date.seconds << " " << int(kind) << " " << unreadable);
                NodeArena arena;
                ScanNode* root = arena.make({.path = "/r", .name = "r", .isDirectory = true});
                ScanNode* n = arena.make({.name = "f",
                                          .modified = date,
                                          .logicalSize = 3,
                                          .allocatedSize = 4096,
                                          .unreadable = unreadable,
                                          .parent = root});
                arena.setChildren(root, std::vector<ScanNode*>{n});
                EXPECT_EQ(n->unreadable(), unreadable);
                EXPECT_EQ(n->leftOut(), LeftOutKind::none);
                n->setLeftOut(kind);
                n->markOtherNames();
                EXPECT_EQ(n->leftOut(), kind);
                EXPECT_TRUE(n->hasOtherNames());
                EXPECT_FALSE(n->countedElsewhere());
                n->countElsewhere();
                EXPECT_TRUE(n->countedElsewhere());
                n->setUnreadable(!unreadable);
                EXPECT_EQ(n->unreadable(), !unreadable);
                EXPECT_EQ(n->leftOut(), kind);
                EXPECT_EQ(n->modified(), kept);
                EXPECT_EQ(n->path(), "/r/f");
            }
        }
    }
    // A node made without a date has none.
    NodeArena arena;
    EXPECT_TRUE(arena.make({.path = "/c", .name = "c"})->modified().isDistantPast());
}

TEST(NodeLayout, ChildListsOfAnySizeAndNodeSizesByKind) {
    for (std::size_t count : {0u, 1u, 2u, 1000u}) {
        SCOPED_TRACE(count);
        NodeArena arena;
        ScanNode* root = arena.make({.path = "/r", .name = "r", .isDirectory = true});
        std::vector<ScanNode*> kids;
        for (std::size_t i = 0; i < count; ++i) {
            kids.push_back(arena.make({.name = "k" + std::to_string(i),
                                       .allocatedSize = std::int64_t(i),
                                       .parent = root}));
        }
        arena.setChildren(root, kids);
        ASSERT_EQ(root->children().size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(root->children()[i], kids[i]);
            EXPECT_EQ(kids[i]->parent(), root);
            EXPECT_TRUE(kids[i]->children().empty());
        }
        root->rollup();
        EXPECT_EQ(root->allocatedSize(), std::int64_t(count * (count ? count - 1 : 0) / 2));
        if (count > 1) {
            EXPECT_EQ(root->children().front()->allocatedSize(), std::int64_t(count - 1));
        }
        EXPECT_EQ(root->flattened().size(), count + 1);
        arena.setChildren(root, {});
        EXPECT_TRUE(root->children().empty());
    }
    // A million-entry tree is mostly files: they keep no child slot.
    struct Size {
        const char* name;
        bool isDirectory;
        std::ptrdiff_t bytes;
    } sizes[] = {{"f123456.txt", false, 64},
                 {"f123456.txt", true, 72},
                 {"a-name-of-24-bytes.txt__", false, 80}};
    for (const Size& c : sizes) {
        SCOPED_TRACE(c.name);
        NodeArena arena;
        ScanNode* root = arena.make({.path = "/r", .name = "r", .isDirectory = true});
        ScanNode* a = arena.make({.name = c.name, .isDirectory = c.isDirectory, .parent = root});
        ScanNode* b = arena.make({.name = c.name, .parent = root});
        EXPECT_EQ(reinterpret_cast<const char*>(b) - reinterpret_cast<const char*>(a), c.bytes);
        EXPECT_TRUE(a->children().empty());
    }
}

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

std::vector<const ScanNode*> files(TreeBuilder& b, std::initializer_list<std::int64_t> sizes) {
    std::vector<const ScanNode*> out;
    int i = 0;
    for (auto s : sizes)
        out.push_back(b.file("/f" + std::to_string(i++), s));
    return out;
}

TEST(SizeRanking, KeepsLargestFirstTheEarlierOfEqualsAndBucketsTheRest) {
    TreeBuilder b;
    auto nodes = files(b, {5, 9, 5, 7, 9, 1});
    auto top = SizeLeaders::take(nodes, 4);
    EXPECT_EQ(top, (std::vector<const ScanNode*>{nodes[1], nodes[4], nodes[3], nodes[0]}));
    auto same = top;
    SizeLeaders::insert(b.file("/eq", 5), same, 4);
    EXPECT_EQ(same, top);
    std::vector<const ScanNode*> none;
    SizeLeaders::insert(nodes[0], none, 0);
    EXPECT_TRUE(none.empty());
    // Ranking buckets only what is not among the largest.
    auto exact = files(b, {1, 5, 3});
    auto all = MapLayout::ranked(exact, 3);
    EXPECT_EQ(all.visible, exact); // input order kept, no sorting
    EXPECT_EQ(all.otherCount, 0);
    EXPECT_EQ(all.totalVisible(), 9);

    auto equal = files(b, {4, 4, 4, 4});
    auto r = MapLayout::ranked(equal, 3);
    EXPECT_EQ(r.visible, (std::vector<const ScanNode*>(equal.begin(), equal.begin() + 3)));
    EXPECT_EQ(r.otherCount, 1);
    EXPECT_EQ(r.otherBytes, 4);
    EXPECT_EQ(r.totalVisible(), 16);

    auto zero = MapLayout::ranked(exact, 0);
    EXPECT_TRUE(zero.visible.empty());
    EXPECT_EQ(zero.otherCount, 3);
    EXPECT_EQ(zero.otherBytes, 9);
}

TEST(AgeLayout, BandBoundariesAreStrict) {
    TreeBuilder b;
    const Date now = Date::fromUnix(2'000'000'000, 0);
    auto at = [&](double ageSeconds, std::int64_t size) -> const ScanNode* {
        return b.file("/a", {.logicalSize = size,
                             .allocatedSize = size,
                             .modified = now.addingSeconds(-ageSeconds)});
    };
    std::vector<const ScanNode*> fs = {at(604800, 1),  at(604799, 2),   at(-10, 4),
                                       at(2592000, 8), at(7775999, 16), at(31536000, 32),
                                       at(1e10, 64)};
    auto bands = AgeLayout::bands(fs, now);
    ASSERT_EQ(bands.size(), 5u);
    EXPECT_EQ(bands[0].bytes, 2 + 4);
    EXPECT_EQ(bands[1].bytes, 1);
    EXPECT_EQ(bands[2].bytes, 8 + 16);
    EXPECT_EQ(bands[3].bytes, 0);
    EXPECT_EQ(bands[4].bytes, 32 + 64);
    const std::int64_t counts[] = {2, 1, 2, 0, 2};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(bands[std::size_t(i)].fileCount, counts[i]) << bands[std::size_t(i)].id;

    std::vector<const ScanNode*> many;
    for (int i = 0; i < 41; ++i)
        many.push_back(at(0, i + 1));
    auto crowded = AgeLayout::bands(many, now);
    EXPECT_EQ(crowded[0].files.size(), 40u);
    EXPECT_EQ(crowded[0].bytes, 41 * 42 / 2);
    EXPECT_EQ(crowded[0].fileCount, 41); // all of them, not only the 40 listed
    EXPECT_EQ(crowded[0].files.back()->allocatedSize(), 2);

    ScanNode* lone = b.file("/lone", {.logicalSize = 3, .allocatedSize = 3, .modified = now});
    auto single = AgeLayout::bands(*lone, now);
    EXPECT_EQ(single[0].files.size(), 1u);
    EXPECT_EQ(single[1].bytes + single[2].bytes + single[3].bytes + single[4].bytes, 0);
}

struct TruthCase {
    std::int64_t c, a, i, o, s;
    std::int64_t scanned, system, purgeable, free;
};

TEST(TruthMath, ReconcilesToTheCapacity) {
    const TruthCase cases[] = {
        {1000, 300, 400, 500, 200, 200, 300, 200, 300}, {100, 150, 150, 0, 0, 0, 0, 0, 100},
        {1000, 300, 100, 0, 0, 0, 700, 200, 100},       {1000, 500, 500, 500, 900, 500, 0, 0, 500},
        {1000, 300, 400, 500, -5, 0, 500, 200, 300},    {0, 0, 0, 0, 50, 0, 0, 0, 0},
    };
    for (const auto& t : cases) {
        auto m = TruthMath::reconcile(t.c, t.a, t.i, t.o, t.s, 2, false, "/x");
        std::vector<std::int64_t> bytes; // every row sums to the capacity
        for (const auto& s : m.slices)
            bytes.push_back(s.bytes);
        EXPECT_EQ(bytes, (std::vector<std::int64_t>{t.scanned, t.system, t.purgeable, t.free}))
            << t.c << " " << t.s;
        EXPECT_EQ(m.unreadableFolders, 2);
    }
}

TEST(ScanContext, ScopeFollowsTheScanRootAndFallsBackWithoutAVolume) {
    VolumeSnapshot v{"/", "Disk", 1000, 300, 300, 300};
    auto whole = VolumeAccounting::truth(v, 10, 0, std::nullopt);
    EXPECT_TRUE(whole.isFullVolumeScope);
    EXPECT_EQ(whole.slices[1].label, "Other & system");
    EXPECT_EQ(whole.scopeLabel, "Disk");
    EXPECT_EQ(whole.slices.size(), 4u); // no mount point: the four plain slices
    auto part = VolumeAccounting::truth(v, 10, 0, std::string("/home/x"));
    EXPECT_FALSE(part.isFullVolumeScope);
    EXPECT_EQ(part.scopeLabel, "/home/x");
    EXPECT_TRUE(VolumeAccounting::truth(v, 10, 0, std::string("/")).isFullVolumeScope);

    auto volume = ScanContext::make("/", std::nullopt, true);
    EXPECT_EQ(volume.scope, ScanScopeKind::volume);
    auto folder = ScanContext::make("/home/u", std::nullopt, true);
    EXPECT_EQ(folder.scope, ScanScopeKind::selectedFolder);
    EXPECT_EQ(folder.volumeName, "/home/u");
    EXPECT_EQ(folder.volumeCapacity, 0);
    EXPECT_FALSE(folder.isComparable());
    auto known = ScanContext::make("/home/u", VolumeSnapshot{"/home/u", "Data", 10, 1, 1, 1}, true);
    EXPECT_TRUE(known.isComparable());
    EXPECT_EQ(known.volumeName, "Data");
}

// /r holds a (two files, and counted unreadable), b and c (the two names of
// one file, counted under b's, which sorts first) and c/g.
ScanForest sample() {
    TreeBuilder t("/r");
    ScanNode* a = t.dir("/r/a");
    t.file("/r/a/f1", {1000, 1000, 11});
    t.file("/r/a/f2", {2000, 2000, 12});
    t.file("/r/b/link", {3000, 3000, 20});
    t.file("/r/c/link", {0, 0, 20});
    t.file("/r/c/g", {500, 500, 30});
    a->setUnreadable(true);
    t.rollUp();
    ScanContext context = testContext("/r");
    context.hardLinks = HardLinkMode::once;
    return t.forest(context, 1, 9);
}

std::int64_t sizeAt(const ScanForest& f, const std::string& path) {
    const ScanNode* n = ForestEdit::nodeAt(f, path);
    return n ? n->allocatedSize() : -1;
}

TEST(ForestEdit, WithoutTakesItemsOffEveryFolderAboveAndRecountsLinksAndUnreadables) {
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
        EXPECT_EQ(f.unreadable(), sizeAt(f, "/r/a") < 0 ? 0 : 1) << c.paths.front();
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
    // Nothing changes for the root or a path not in the tree.
    for (const char* p : {"/r", "/r/zz", "/elsewhere/a", "/r/a/f1/deeper"}) {
        const std::vector<std::string> paths{p};
        EXPECT_FALSE(ForestEdit::without(source, paths)) << p;
    }
}

TEST(ForestEdit, FollowedNodesAreFoundInTheCopyAndWithPutsAWalkedItemInPlace) {
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
    // With puts a walked item back in place.
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
