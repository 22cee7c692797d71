#include "store/scan_store.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <stop_token>

#include "store/meta_text.h"
#include "store_test_support.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::ForgedScan;
using test::RawDb;
using test::TreeBuilder;

// A tree with every field set to something a naive store would lose.
struct SampleTree {
    TreeBuilder b;
    ScanNode* root;

    SampleTree() {
        ScanNode* quoted = b.make({.path = "/scan/it's here",
                                   .name = "it's here",
                                   .inode = (1ull << 63) + 5,
                                   .modified = Date{1'700'000'000, 250'000'000},
                                   .mayShareBlocks = true,
                                   .logicalSize = 9000,
                                   .allocatedSize = 4096});
        ScanNode* latin1 = b.make({.path = "/scan/sub/caf\xe9\xff.txt",
                                   .name = "caf\xe9\xff.txt",
                                   .inode = ~0ull,
                                   .modified = Date::distantPast(),
                                   .logicalSize = 3,
                                   .allocatedSize = 8192});
        ScanNode* locked = b.make({.path = "/scan/sub/locked",
                                   .name = "locked",
                                   .isDirectory = true,
                                   .inode = 7,
                                   .unreadable = true});
        ScanNode* sub = b.make({.path = "/scan/sub",
                                .name = "sub",
                                .isDirectory = true,
                                .inode = 3,
                                .modified = Date{-86'400, 0}});
        b.setChildren(sub, {latin1, locked});
        root = b.make({.path = "/scan", .name = "scan", .isDirectory = true, .inode = 2});
        b.setChildren(root, {quoted, sub});
        root->rollup();
    }
};

std::map<std::string, const ScanNode*> byPath(const ScanNode* root) {
    std::map<std::string, const ScanNode*> out;
    for (const ScanNode* n : root->flattened())
        out[std::string(n->path())] = n;
    return out;
}

class StoreFile : public ::testing::Test {
protected:
    test::TempHome home;
    TreeBuilder b;
};

TEST_F(StoreFile, RoundTripKeepsEveryField) {
    SampleTree t;
    ScanContext ctx = test::testContext("/scan");
    ctx.volumeName = "Bob's disk";
    ScanForest forest = test::forestOf(t.b.tree(t.root), 1, 5, ctx);

    auto saved = ScanStore::save(forest, "/scan");
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_EQ(saved->fileURL, ScanStore::directory() + "/" + saved->id.toString() + ".sqlite");
    EXPECT_EQ(saved->rootPath, "/scan");
    EXPECT_EQ(saved->scannedBytes, 4096 + 8192);
    EXPECT_EQ(saved->unreadable, 1);
    ScanContext stored = ctx; // all but the date, which the file keeps as its own
    stored.createdAt = saved->context.createdAt;
    EXPECT_EQ(saved->context, stored);

    auto loaded = ScanStore::load(*saved);
    ASSERT_TRUE(loaded);
    const auto before = byPath(forest.root());
    const auto after = byPath(loaded->root);
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [path, old] : before) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(after.count(path));
        const ScanNode* n = after.at(path);
        EXPECT_EQ(n->name(), old->name());
        EXPECT_EQ(n->isDirectory(), old->isDirectory());
        EXPECT_EQ(n->inode(), old->inode());
        EXPECT_NEAR(n->modified().unixSeconds(), old->modified().unixSeconds(), 1e-6);
        EXPECT_EQ(n->mayShareBlocks(), old->mayShareBlocks());
        EXPECT_EQ(n->logicalSize(), old->logicalSize());
        EXPECT_EQ(n->allocatedSize(), old->allocatedSize());
        EXPECT_EQ(n->unreadable(), old->unreadable());
        EXPECT_EQ(n->children().size(), old->children().size());
        EXPECT_NE(n->id(), old->id());
    }
    EXPECT_TRUE(after.at("/scan/sub/caf\xe9\xff.txt")->modified().isDistantPast());
}

TEST_F(StoreFile, FileFormatIsExact) {
    SampleTree t;
    ScanContext ctx = test::testContext("/scan", 1234, false);
    ctx.volumeName = "it's";
    ScanForest forest = test::forestOf(t.b.tree(t.root), 2, 17, ctx);
    auto saved = ScanStore::save(forest, "/scan/'root'");
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_EQ(saved->id.toString().size(), 36u);
    EXPECT_EQ(Path::lastComponent(saved->fileURL), saved->id.toString() + ".sqlite");

    RawDb db(saved->fileURL);
    using Rows = std::vector<std::vector<std::string>>;
    // cid, name, type, notnull, default, pk
    EXPECT_EQ(db.rows("PRAGMA table_info(nodes)"),
              (Rows{{"0", "path", "TEXT", "0", "<null>", "1"},
                    {"1", "parent", "TEXT", "0", "<null>", "0"},
                    {"2", "name", "TEXT", "1", "<null>", "0"},
                    {"3", "is_dir", "INTEGER", "1", "<null>", "0"},
                    {"4", "logical", "INTEGER", "1", "<null>", "0"},
                    {"5", "allocated", "INTEGER", "1", "<null>", "0"},
                    {"6", "mtime", "REAL", "1", "<null>", "0"},
                    {"7", "inode", "INTEGER", "1", "<null>", "0"},
                    {"8", "may_share", "INTEGER", "1", "<null>", "0"},
                    {"9", "unreadable", "INTEGER", "1", "<null>", "0"}}));
    EXPECT_EQ(db.rows("PRAGMA table_info(meta)"),
              (Rows{{"0", "key", "TEXT", "0", "<null>", "1"},
                    {"1", "value", "TEXT", "1", "<null>", "0"}}));
    EXPECT_EQ(db.rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
              (Rows{{"meta"}, {"nodes"}}));

    EXPECT_EQ(db.rows("SELECT key, value, typeof(value) FROM meta ORDER BY rowid"),
              (Rows{{"root", "/scan/'root'", "text"},
                    {"unreadable", "2", "text"},
                    {"visited", "17", "text"},
                    {"scanned", "12288", "text"},
                    {"schema", "2", "text"},
                    {"scope", "selectedFolder", "text"},
                    {"volume_name", "it's", "text"},
                    {"volume_capacity", "1234", "text"},
                    {"complete", "0", "text"},
                    {"hard_links", "every", "text"}}));

    // In byte order of the path, whatever order the forest gave the children.
    EXPECT_EQ(
        db.rows("SELECT path, parent, is_dir, may_share, unreadable FROM nodes ORDER BY rowid"),
        (Rows{{"/scan", "<null>", "1", "0", "0"},
              {"/scan/it's here", "/scan", "0", "1", "0"},
              {"/scan/sub", "/scan", "1", "0", "0"},
              {"/scan/sub/caf\xe9\xff.txt", "/scan/sub", "0", "0", "0"},
              {"/scan/sub/locked", "/scan/sub", "1", "0", "1"}}));
    EXPECT_EQ(db.rows("SELECT inode, typeof(inode), mtime, typeof(mtime), logical, allocated "
                      "FROM nodes WHERE name = 'it''s here'"),
              (Rows{{"-9223372036854775803", "integer", "1700000000.25", "real", "9000", "4096"}}));
    EXPECT_EQ(db.rows("PRAGMA journal_mode"), (Rows{{"wal"}}));
    EXPECT_EQ(db.rows("PRAGMA integrity_check"), (Rows{{"ok"}}));
}

// A scan reopens with the totals it was made with, in either mode, and
// knows its files with several names again; a file from before the choice
// existed reads as counting every name.
TEST_F(StoreFile, ReopensWithTheHardLinkCountingItWasMadeWith) {
    test::TempDir t;
    const std::string root = t / "tree";
    test::putSized(root + "/a/file", 200'000, 1);
    test::makeDirs(root + "/b");
    ASSERT_EQ(::link((root + "/a/file").c_str(), (root + "/b/file").c_str()), 0);
    test::putSized(root + "/b/other", 5'000, 2);
    for (HardLinkMode mode : {HardLinkMode::once, HardLinkMode::every}) {
        SCOPED_TRACE(std::string(rawValue(mode)));
        DirectoryWalker::Options options;
        options.hardLinks = mode;
        const ScanForest walked = DirectoryWalker::walk(
            root, [](const WalkProgress&) {}, {}, options);
        auto saved = ScanStore::save(walked, root);
        ASSERT_TRUE(saved) << saved.error().message;
        EXPECT_EQ(saved->context.hardLinks, mode);
        auto reopened = ScanStore::reopen(*saved);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(reopened->context().hardLinks, mode);
        std::map<std::string, std::pair<std::int64_t, std::int64_t>> before, after;
        for (const ScanNode* n : walked.nodes())
            before[n->path()] = {n->logicalSize(), n->allocatedSize()};
        for (const ScanNode* n : reopened->nodes())
            after[n->path()] = {n->logicalSize(), n->allocatedSize()};
        EXPECT_EQ(after, before);
        const ScanNode* second = test::findNode(*reopened, root + "/b/file");
        ASSERT_TRUE(second);
        EXPECT_TRUE(second->hasOtherNames());
        EXPECT_EQ(second->countedElsewhere(), mode == HardLinkMode::once);
        EXPECT_EQ(reopened->links().names(*reopened->links().file(second)).size(), 2u);
        const ScanNode* a = test::findNode(*reopened, root + "/a");
        EXPECT_EQ(reopened->freedBy(a), walked.freedBy(test::findNode(walked, root + "/a")));
        EXPECT_EQ(reopened->freedBy(reopened->root()), walked.freedBy(walked.root()));

        RawDb(saved->fileURL).exec("DELETE FROM meta WHERE key = 'hard_links'");
        EXPECT_EQ(ScanStore::record(saved->fileURL)->context.hardLinks, HardLinkMode::every);
    }
}

// What a walk left out travels in one meta row and marks the same rows
// again on reopening; a scan that left nothing out writes no such row.
TEST_F(StoreFile, KeepsWhatTheScanLeftOut) {
    test::TempDir t;
    const std::string root = t / "tree";
    test::put(root + "/keep", "12345");
    test::put(root + "/odd\n%name.iso", "x");
    test::put(root + "/.snapshots/1/big", "snapshot");
    DirectoryWalker::Options options;
    options.exclude = ExcludeRules({"*.iso", "/.snapshots", "\t%"});
    const ScanForest walked = DirectoryWalker::walk(
        root, [](const WalkProgress&) {}, {}, options);
    auto saved = ScanStore::save(walked, root);
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_EQ(saved->context.leftOut, walked.context().leftOut);
    EXPECT_EQ(saved->context.leftOutCount, 2);
    EXPECT_EQ(saved->context.excludePatterns, options.exclude.patterns());
    auto reopened = ScanStore::reopen(*saved);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(test::findNode(*reopened, root + "/odd\n%name.iso")->leftOut(),
              LeftOutKind::excluded);
    EXPECT_EQ(test::findNode(*reopened, root + "/.snapshots")->leftOut(), LeftOutKind::snapshots);
    EXPECT_EQ(test::findNode(*reopened, root + "/keep")->leftOut(), LeftOutKind::none);
    EXPECT_EQ(RawDb(saved->fileURL).rows("SELECT count(*) FROM meta WHERE key = 'left_out'"),
              (std::vector<std::vector<std::string>>{{"1"}}));

    const ScanForest plain = DirectoryWalker::walk(root, [](const WalkProgress&) {});
    auto none = ScanStore::save(plain, root);
    ASSERT_TRUE(none);
    EXPECT_EQ(RawDb(none->fileURL).rows("SELECT count(*) FROM meta WHERE key = 'left_out'"),
              (std::vector<std::vector<std::string>>{{"0"}}));
    EXPECT_EQ(none->context.leftOutCount, 0);
}

TEST(MetaText, LeftOutLinesSurviveOddBytesAndIgnoreJunk) {
    ScanContext c;
    c.excludePatterns = {"a\tb", "%41"};
    c.leftOut = {{"/x/\n\r\0y", LeftOutKind::mount}, {"/x/z", LeftOutKind::snapshots}};
    c.leftOut[0].path = std::string("/x/\n\r\0y", 7);
    c.leftOutCount = 5;
    ScanContext back;
    MetaText::readLeftOut(MetaText::leftOutText(c), back);
    EXPECT_EQ(back.excludePatterns, c.excludePatterns);
    EXPECT_EQ(back.leftOut, c.leftOut);
    EXPECT_EQ(back.leftOutCount, 5);
    ScanContext junk;
    MetaText::readLeftOut("bogus\t/a\nnone\t/b\nexcluded\t/c%zz\ncount\t-4\nno tab\n", junk);
    EXPECT_EQ(junk.leftOut, (std::vector<LeftOut>{{"/c%zz", LeftOutKind::excluded}}));
    EXPECT_EQ(junk.leftOutCount, 1);
}

TEST_F(StoreFile, LeafRootGivesOneRowAndTheVolumeScope) {
    ScanForest forest = test::forestOf(b.tree(b.dir("/")), 0, 0, test::testContext("/"));
    auto saved = ScanStore::save(forest, "/");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->context.scope, ScanScopeKind::volume);
    RawDb db(saved->fileURL);
    EXPECT_EQ(db.rows("SELECT path, parent FROM nodes"),
              (std::vector<std::vector<std::string>>{{"/", "<null>"}}));
    EXPECT_EQ(db.rows("SELECT value FROM meta WHERE key = 'scope'")[0][0], "volume");
}

TEST_F(StoreFile, FailedSavesSayWhyAndLeaveNothingBehind) {
    auto unopened =
        ScanStore::saveIn(home.home() + "/no/such/dir", test::forestOf(b.tree(b.dir("/x"))), "/x");
    ASSERT_FALSE(unopened);
    EXPECT_EQ(unopened.error().domain, "ScanStore");
    EXPECT_EQ(unopened.error().code, 1);

    // Two nodes with one path: the second row violates the primary key. A
    // save that silently lost rows would be listed as a complete scan.
    ScanNode* root = b.dir("/d", {b.file("/d/a", 10), b.file("/d/a", 20)});
    auto saved = ScanStore::save(test::forestOf(b.tree(root)), "/d");
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().domain, "ScanStore");
    EXPECT_EQ(saved.error().code, 2);
    EXPECT_NE(saved.error().message.find("UNIQUE"), std::string::npos) << saved.error().message;

    std::stop_source stop;
    stop.request_stop();
    auto stopped = ScanStore::saveIn(ScanStore::directory(),
                                     test::forestOf(b.tree(b.dir("/s", {b.file("/s/f", 1)}))), "/s",
                                     stop.get_token());
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().domain, "ScanStore");
    EXPECT_TRUE(test::namesIn(ScanStore::directory()).empty());
}

TEST_F(StoreFile, DeepTreeSavesAndLoadsWithoutRecursion) {
    // Paths need not nest for the store: the chain is made of children links.
    constexpr int depth = 200'000;
    ScanNode* root = b.dir("/d");
    ScanNode* parent = root;
    for (int i = 0; i < depth; ++i) {
        ScanNode* child = b.dir("/d/x" + std::to_string(i));
        b.setChildren(parent, {child});
        parent = child;
    }
    b.setChildren(parent, {b.file("/d/f", 4096)});
    root->rollup();
    auto saved = ScanStore::save(test::forestOf(b.tree(root)), "/d");
    ASSERT_TRUE(saved) << saved.error().message;
    auto loaded = ScanStore::load(*saved);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->root->flattened().size(), std::size_t(depth) + 2);
    EXPECT_EQ(loaded->root->allocatedSize(), 4096);
}

TEST_F(ForgedScan, LoadFallsBackToRecordRootWithoutMetaRow) {
    forge(
        "INSERT INTO nodes VALUES ('/r', NULL, 'r', 1, 0, 30, 0, 1, 0, 0),"
        "('/r/a', '/r', 'a', 0, 10, 10, 0, 2, 0, 0),"
        "('/r/b', '/r', 'b', 0, 20, 20, 0, 3, 0, 0),"
        "('/elsewhere/c', '/elsewhere', 'c', 0, 5, 5, 0, 4, 0, 0);"
        "INSERT INTO meta VALUES ('schema', '7');");
    auto loaded = ScanStore::load(record("/r"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->root->path(), "/r");
    // Both children, in any order, with the stored (not recomputed) sizes.
    ScanForest forest(*loaded, 0, 0, test::testContext("/r"));
    ASSERT_EQ(forest.nodes().size(), 3u);
    EXPECT_EQ(forest.root()->children()[0]->path(), "/r/b");
    EXPECT_EQ(forest.root()->children()[1]->path(), "/r/a");
    EXPECT_EQ(forest.root()->allocatedSize(), 30);

    EXPECT_FALSE(ScanStore::load(record("/missing")));
}

// Loaded nodes keep names, not paths, only where the path is the parent's
// path and the name; any other row keeps its stored path.
TEST_F(ForgedScan, LoadKeepsPathsThatAreNotParentAndName) {
    forge(
        "INSERT INTO nodes VALUES ('/', NULL, 'Disk', 1, 0, 0, 0, 1, 0, 0),"
        "('/a', '/', 'a', 1, 0, 0, 0, 2, 0, 0),"
        "('/a/b', '/a', 'shown', 0, 1, 1, 0, 3, 0, 0),"
        "('/a/c/d', '/a', 'd', 0, 2, 2, 0, 4, 0, 0),"
        "('/a/e', '/a', 'e', 0, 3, 3, 0, 5, 0, 0);");
    auto loaded = ScanStore::load(record("/"));
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->root->children().size(), 1u);
    std::vector<std::pair<std::string, std::string>> found;
    for (const ScanNode* n : loaded->root->children()[0]->children()) {
        found.emplace_back(n->path(), n->name());
    }
    EXPECT_EQ(found, (std::vector<std::pair<std::string, std::string>>{
                         {"/a/b", "shown"}, {"/a/c/d", "d"}, {"/a/e", "e"}}));
}

TEST_F(ForgedScan, NullPathsReadAsEmptyAndTheLastRowWins) {
    forge(
        "INSERT INTO nodes VALUES ('/r', NULL, 'r', 1, 0, 0, 0, 1, 0, 0),"
        "(NULL, '/r', 'x', 1, 0, 7, 0, 2, 0, 0),"
        "('/r/under-x', '', 'u', 0, 0, 1, 0, 3, 0, 0),"
        "(NULL, '/r', 'y', 1, 0, 9, 0, 4, 0, 0);"
        "INSERT INTO meta VALUES ('root', '/r');");
    auto loaded = ScanStore::load(record("/r"));
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->root->children().size(), 1u);
    const ScanNode* empty = loaded->root->children()[0];
    EXPECT_EQ(empty->path(), "");
    EXPECT_EQ(empty->name(), "y");
    ASSERT_EQ(empty->children().size(), 1u);
    EXPECT_EQ(empty->children()[0]->name(), "u");
}

// Whatever the rows say, the load gives a strict tree from the meta root.
TEST_F(ForgedScan, LoadBuildsAStrictTreeFromTheMetaRoot) {
    struct Case {
        const char* what;
        const char* rows;
        std::vector<std::string> paths; // flattened
    };
    const Case cases[] = {
        {"meta root over the record's",
         "('/m', NULL, 'm', 1, 0, 0, 0, 1, 0, 0);INSERT INTO meta VALUES ('root', '/m')",
         {"/m"}},
        // The root names a child as its parent: attaching it would make a
        // cycle that every later walk of the tree would follow forever.
        {"parent cycle",
         "('/r', '/r/a', 'r', 1, 0, 0, 0, 1, 0, 0), ('/r/a', '/r', 'a', 1, 0, 0, 0, 2, 0, 0),"
         "('/s', '/s', 's', 1, 0, 0, 0, 3, 0, 0);INSERT INTO meta VALUES ('root', '/r')",
         {"/r", "/r/a"}},
        {"children before their parents",
         "('/r/a/f', '/r/a', 'f', 0, 1, 1, 0, 3, 0, 0), ('/r/a', '/r', 'a', 1, 1, 1, 0, 2, 0, 0),"
         "('/r', NULL, 'r', 1, 1, 1, 0, 1, 0, 0);INSERT INTO meta VALUES ('root', '/r')",
         {"/r", "/r/a", "/r/a/f"}},
    };
    for (const Case& c : cases) {
        std::remove(file.c_str());
        forge(std::string("INSERT INTO nodes VALUES ") + c.rows);
        auto loaded = ScanStore::load(record("/other"));
        ASSERT_TRUE(loaded) << c.what;
        std::vector<std::string> paths;
        for (const ScanNode* n : loaded->root->flattened())
            paths.emplace_back(n->path());
        EXPECT_EQ(paths, c.paths) << c.what;
    }
}

// Meta rows as written, missing, malformed or extreme: each reads as itself
// or as a neutral value.
TEST_F(ForgedScan, RecordReadsMetaRowsOrNeutralValues) {
    struct Case {
        const char* metaRows; // SQL values list, or "" for none
        std::string root;
        std::int64_t scanned, unreadable, capacity;
        ScanScopeKind scope;
        std::string volumeName;
        bool complete;
    };
    const Case cases[] = {
        {"", "<uuid>", 0, 0, 0, ScanScopeKind::selectedFolder, "<root>", true},
        {"('root', '/')", "/", 0, 0, 0, ScanScopeKind::volume, "<root>", true},
        {"('root', '/a'), ('scanned', '+42'), ('unreadable', '-3'),"
         "('scope', 'volume'), ('volume_name', 'V'), ('volume_capacity', '900'),"
         "('complete', '0')",
         "/a", 42, -3, 900, ScanScopeKind::volume, "V", false},
        {"('root', '/a'), ('scanned', ' 42'), ('unreadable', ''),"
         "('scope', 'Volume'), ('volume_capacity', '9223372036854775808'),"
         "('complete', 'false')",
         "/a", 0, 0, 0, ScanScopeKind::selectedFolder, "<root>", true},
        {"('root', '/'), ('scanned', '9223372036854775807'),"
         "('unreadable', '-9223372036854775808'), ('scope', 'selectedFolder'),"
         "('volume_capacity', '-'), ('complete', '00')",
         "/", INT64_MAX, INT64_MIN, 0, ScanScopeKind::selectedFolder, "<root>", true},
    };
    const std::string uuid(Path::lastComponent(file).substr(0, 36));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.metaRows);
        std::remove(file.c_str());
        forge(std::string(*c.metaRows ? "INSERT INTO meta VALUES " : "") + c.metaRows);
        auto r = ScanStore::record(file);
        ASSERT_TRUE(r);
        const std::string root = c.root == "<uuid>" ? uuid : c.root;
        EXPECT_EQ(r->rootPath, root);
        EXPECT_EQ(r->context.rootPath, root);
        EXPECT_EQ(r->id.toString(), uuid);
        EXPECT_EQ(r->scannedBytes, c.scanned);
        EXPECT_EQ(r->unreadable, c.unreadable);
        EXPECT_EQ(r->context.volumeCapacity, c.capacity);
        EXPECT_EQ(r->context.scope, c.scope);
        EXPECT_EQ(r->context.volumeName, c.volumeName == "<root>" ? root : c.volumeName);
        EXPECT_EQ(r->context.complete, c.complete);
        EXPECT_EQ(r->fileURL, file);
    }
}

// The meta-row table above reads signs, both 64-bit limits, the first
// value past them, blanks and a lone sign; these are the remaining forms.
TEST(MetaText, ParseDecimal) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> value;
    };
    const Case cases[] = {
        {"007", 7},
        {"-9223372036854775809", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"1 ", std::nullopt},
        {"+-1", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MetaText::parseDecimal(c.text), c.value) << '"' << c.text << '"';
    }
    EXPECT_EQ(MetaText::quoted("a'b''"), "'a''b'''''");
}

} // namespace
} // namespace tb
