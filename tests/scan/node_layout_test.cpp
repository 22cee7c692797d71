#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "scan/node_arena.h"

namespace tb {
namespace {

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

// The comparison matches paths against nodes without building them, and
// builds them from the parent's: both must agree with path() at "/" too.
TEST(NodeLayout, PathsMatchedAndExtendedAgreeWithThePathBuilt) {
    NodeArena arena;
    ScanNode* slash = arena.make({.path = "/", .name = "/", .isDirectory = true});
    ScanNode* usr = arena.make({.name = "usr", .isDirectory = true, .parent = slash});
    ScanNode* lib = arena.make({.name = "lib", .parent = usr});
    arena.setChildren(slash, std::vector<ScanNode*>{usr});
    arena.setChildren(usr, std::vector<ScanNode*>{lib});
    ScanNode* data = arena.make({.path = "/data", .name = "data", .isDirectory = true});
    ScanNode* a = arena.make({.name = "a", .parent = data});
    arena.setChildren(data, std::vector<ScanNode*>{a});

    for (const ScanNode* n : {slash, usr, lib, data, a}) {
        SCOPED_TRACE(n->path());
        std::string extended = n->parent() ? n->parent()->path() : "";
        n->extendParentPath(extended);
        EXPECT_EQ(extended, n->path());
        EXPECT_TRUE(n->hasPath(n->path()));
    }
    const struct {
        const ScanNode* node;
        const char* path;
    } others[] = {{usr, "//usr"}, {usr, "usr"},    {lib, "/usr/lib/"}, {lib, "/usr-lib"},
                  {lib, "/lib"},  {a, "/dataa/a"}, {a, "/data//a"},    {a, "/data/b"}};
    for (const auto& o : others)
        EXPECT_FALSE(o.node->hasPath(o.path)) << o.path;
}

// A million-entry tree is mostly files: they keep no child slot.
TEST(NodeLayout, AFileTakesSixtyFourBytesWithAShortNameAndAFolderOneSlotMore) {
    struct Case {
        const char* name;
        bool isDirectory;
        std::ptrdiff_t bytes;
    } cases[] = {{"f123456.txt", false, 64},
                 {"f123456.txt", true, 72},
                 {"a-name-of-24-bytes.txt__", false, 80}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NodeArena arena;
        ScanNode* root = arena.make({.path = "/r", .name = "r", .isDirectory = true});
        ScanNode* a = arena.make({.name = c.name, .isDirectory = c.isDirectory, .parent = root});
        ScanNode* b = arena.make({.name = c.name, .parent = root});
        EXPECT_EQ(reinterpret_cast<const char*>(b) - reinterpret_cast<const char*>(a), c.bytes);
        EXPECT_TRUE(a->children().empty());
    }
}

// The date and the flags share a word: setting either leaves the other.
TEST(NodeLayout, DatesAndFlagsKeepEachOther) {
    const Date dates[] = {Date::distantPast(),
                          Date{0, 0},
                          Date{-1, 999'999'999},
                          Date{1'700'000'000, 123'456'789},
                          Date{ScanNode::kEarliestSeconds, 1},
                          Date{ScanNode::kLatestSeconds, 5}};
    const LeftOutKind kinds[] = {LeftOutKind::none, LeftOutKind::excluded, LeftOutKind::snapshots,
                                 LeftOutKind::mount};
    for (const Date& date : dates) {
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
                EXPECT_EQ(n->modified(), date);
                EXPECT_EQ(n->path(), "/r/f");
            }
        }
    }
}

TEST(NodeLayout, DatesBeyondWhatANodeKeepsAreClamped) {
    NodeArena arena;
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    constexpr auto least = std::numeric_limits<std::int64_t>::min();
    ScanNode* late = arena.make({.path = "/a", .name = "a", .modified = Date{most, 1}});
    ScanNode* early = arena.make({.path = "/b", .name = "b", .modified = Date{least, 2}});
    EXPECT_EQ(late->modified(), (Date{ScanNode::kLatestSeconds, 1}));
    EXPECT_EQ(early->modified(), (Date{ScanNode::kEarliestSeconds, 2}));
    EXPECT_EQ(late->path(), "/a");
    EXPECT_FALSE(late->unreadable());
    EXPECT_EQ(early->leftOut(), LeftOutKind::none);
    // A node made without a date has none.
    EXPECT_TRUE(arena.make({.path = "/c", .name = "c"})->modified().isDistantPast());
}

TEST(NodeLayout, ChildListsOfAnySizeAndReplaced) {
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
}

} // namespace
} // namespace tb
