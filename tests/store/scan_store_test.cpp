#include "store/scan_store.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
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
using test::Rows;
using test::TreeBuilder;

// A tree with every field set to something a naive store would lose.
NodeTree sampleTree() {
    TreeBuilder b;
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
    ScanNode* root = b.make({.path = "/scan", .name = "scan", .isDirectory = true, .inode = 2});
    b.setChildren(root, {quoted, sub});
    root->rollup();
    return b.tree(root);
}

std::map<std::string, const ScanNode*> byPath(const ScanNode* root) {
    std::map<std::string, const ScanNode*> out;
    for (const ScanNode* n : root->flattened())
        out[std::string(n->path())] = n;
    return out;
}

using StoreFile = test::StoreTest;

// Other versions read the file, and tests here forge it: its format is pinned.
TEST_F(StoreFile, RoundTripKeepsEveryFieldInAnExactFormat) {
    ScanContext ctx = test::testContext("/scan", 1234, false);
    ctx.volumeName = "it's";
    ScanForest forest = test::forestOf(sampleTree(), 2, 17, ctx);

    auto saved = ScanStore::save(forest, "/scan");
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_EQ(saved->fileURL, ScanStore::directory() + "/" + saved->id.toString() + ".sqlite");
    EXPECT_EQ(saved->rootPath, "/scan");
    EXPECT_EQ(saved->scannedBytes, 4096 + 8192);
    EXPECT_EQ(saved->unreadable, 2);
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

    RawDb db(saved->fileURL);
    // The tables every forged file here is made with, column for column.
    RawDb reference(home.home() + "/reference.sqlite");
    reference.exec(test::kScanTables);
    for (const char* pragma : {"PRAGMA table_info(nodes)", "PRAGMA table_info(meta)"})
        EXPECT_EQ(db.rows(pragma), reference.rows(pragma)) << pragma;
    EXPECT_EQ(db.rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
              (Rows{{"meta"}, {"nodes"}}));

    EXPECT_EQ(db.rows("SELECT key, value, typeof(value) FROM meta ORDER BY rowid"),
              (Rows{{"root", "/scan", "text"},
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

// Reopened with its own hard-link counting; a file older than the choice counts every name.
TEST_F(StoreFile, ReopensWithTheHardLinkCountingItWasMadeWith) {
    test::TempDir t;
    const std::string root = t / "tree";
    test::putSized(root + "/a/file", 200'000, 1);
    test::putSized(root + "/b/other", 5'000, 2);
    ASSERT_EQ(::link((root + "/a/file").c_str(), (root + "/b/file").c_str()), 0);
    for (HardLinkMode mode : {HardLinkMode::once, HardLinkMode::every}) {
        SCOPED_TRACE(std::string(rawValue(mode)));
        DirectoryWalker::Options options{.hardLinks = mode};
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

// What a walk left out is one meta row, marking the same rows on reopening, or no row.
TEST_F(StoreFile, KeepsWhatTheScanLeftOut) {
    test::TempDir t;
    const std::string root = t / "tree";
    test::put(root + "/keep", "12345");
    test::put(root + "/odd\n%name.iso", "x");
    test::put(root + "/.snapshots/1/big", "snapshot");
    DirectoryWalker::Options options{.exclude = ExcludeRules({"*.iso", "/.snapshots", "\t%"})};
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
              (Rows{{"1"}}));

    auto none = ScanStore::save(DirectoryWalker::walk(root, [](const WalkProgress&) {}), root);
    ASSERT_TRUE(none);
    EXPECT_EQ(RawDb(none->fileURL).rows("SELECT count(*) FROM meta WHERE key = 'left_out'"),
              (Rows{{"0"}}));
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
    auto saved = ScanStore::save(test::forestOf(b.tree(b.dir("/"))), "/");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->context.scope, ScanScopeKind::volume);
    RawDb db(saved->fileURL);
    EXPECT_EQ(db.rows("SELECT path, parent FROM nodes"), (Rows{{"/", "<null>"}}));
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

// Each node as path:name=allocated, children sorted: the shape, not the row order.
std::string shape(const ScanNode* n) {
    std::string out = std::string(n->path()) + ":" + std::string(n->name()) + "=" +
                      std::to_string(n->allocatedSize());
    std::vector<std::string> children;
    for (const ScanNode* c : n->children())
        children.push_back(shape(c));
    std::sort(children.begin(), children.end());
    for (std::size_t i = 0; i < children.size(); ++i)
        out += (i ? "," : "(") + children[i] + (i + 1 == children.size() ? ")" : "");
    return out;
}

// Whatever the rows say, the load gives a strict tree from the meta root, else
// the record's. A name stands in for a path only where the path is parent/name.
TEST_F(ForgedScan, LoadBuildsAStrictTreeFromTheRows) {
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"paths that are not parent and name",
         "INSERT INTO nodes VALUES ('/', NULL, 'Disk', 1, 0, 0, 0, 1, 0, 0),"
         "('/a', '/', 'a', 1, 0, 0, 0, 2, 0, 0), ('/a/b', '/a', 'shown', 0, 1, 1, 0, 3, 0, 0),"
         "('/a/c/d', '/a', 'd', 0, 2, 2, 0, 4, 0, 0), ('/a/e', '/a', 'e', 0, 3, 3, 0, 5, 0, 0);",
         "/:Disk=0(/a:a=0(/a/b:shown=1,/a/c/d:d=2,/a/e:e=3))"},
        {"null paths read as empty, the last row wins",
         "INSERT INTO nodes VALUES ('/r', NULL, 'r', 1, 0, 0, 0, 1, 0, 0),"
         "(NULL, '/r', 'x', 1, 0, 7, 0, 2, 0, 0), ('/r/under-x', '', 'u', 0, 0, 1, 0, 3, 0, 0),"
         "(NULL, '/r', 'y', 1, 0, 9, 0, 4, 0, 0);INSERT INTO meta VALUES ('root', '/r')",
         "/r:r=0(:y=9(/r/under-x:u=1))"},
        {"meta root over the record's",
         "INSERT INTO nodes VALUES ('/m', NULL, 'm', 1, 0, 0, 0, 1, 0, 0);"
         "INSERT INTO meta VALUES ('root', '/m')",
         "/m:m=0"},
        // The root names a child as its parent: attaching it would make a
        // cycle that every later walk of the tree would follow forever.
        {"parent cycle",
         "INSERT INTO nodes VALUES ('/r', '/r/a', 'r', 1, 0, 0, 0, 1, 0, 0),"
         "('/r/a', '/r', 'a', 1, 0, 0, 0, 2, 0, 0), ('/s', '/s', 's', 1, 0, 0, 0, 3, 0, 0);"
         "INSERT INTO meta VALUES ('root', '/r')",
         "/r:r=0(/r/a:a=0)"},
        {"children before their parents",
         "INSERT INTO nodes VALUES ('/r/a/f', '/r/a', 'f', 0, 1, 1, 0, 3, 0, 0),"
         "('/r/a', '/r', 'a', 1, 1, 1, 0, 2, 0, 0), ('/r', NULL, 'r', 1, 1, 1, 0, 1, 0, 0);"
         "INSERT INTO meta VALUES ('root', '/r')",
         "/r:r=1(/r/a:a=1(/r/a/f:f=1))"},
        {"no meta root: the record's, rows outside it left out",
         "INSERT INTO nodes VALUES ('/', NULL, 'r', 1, 0, 30, 0, 1, 0, 0),"
         "('/a', '/', 'a', 0, 10, 10, 0, 2, 0, 0), ('/b', '/', 'b', 0, 20, 20, 0, 3, 0, 0),"
         "('/elsewhere/c', '/elsewhere', 'c', 0, 5, 5, 0, 4, 0, 0);"
         "INSERT INTO meta VALUES ('schema', '7');",
         "/:r=30(/a:a=10,/b:b=20)"},
    };
    for (const auto& [what, sql, expected] : cases) {
        SCOPED_TRACE(what);
        std::remove(file.c_str());
        forge(sql);
        auto loaded = ScanStore::load(record("/"));
        ASSERT_TRUE(loaded);
        EXPECT_EQ(shape(loaded->root), expected);
    }
    EXPECT_FALSE(ScanStore::load(record("/missing"))); // the last file has no meta root
}

TEST_F(ForgedScan, RecordReadsMetaRowsOrNeutralValues) {
    const struct {
        const char* metaRows; // SQL values list, or "" for none
        std::string root;
        std::int64_t scanned, unreadable, capacity;
        ScanScopeKind scope;
        std::string volumeName;
        bool complete;
    } cases[] = {
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
    for (const auto& c : cases) {
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

// The remaining forms; the meta-row table reads signs, limits, blanks and a lone sign.
TEST(MetaText, ParseDecimal) {
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"007", 7},
        {"-9223372036854775809", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"1 ", std::nullopt},
        {"+-1", std::nullopt},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(MetaText::parseDecimal(text), value) << '"' << text << '"';
    EXPECT_EQ(MetaText::quoted("a'b''"), "'a''b'''''");
}

} // namespace
} // namespace tb
