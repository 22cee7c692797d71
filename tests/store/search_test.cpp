#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stop_token>

#include "store/index_search.h"
#include "store/query_text.h"
#include "store/scan_store.h"
#include "store_test_support.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::TreeBuilder;

// Name matches come first, then what matches by path only, largest first.
TEST(IndexSearch, NameOrPathIgnoringCaseNameMatchesFirst) {
    TreeBuilder b;
    ScanNode* music = b.dir(
        "/home/Ärger", {b.file("/home/Ärger/song.mp3", 5), b.file("/home/Ärger/\xff\xfe.bin", 7)});
    ScanNode* root = b.dir("/home", {music, b.file("/home/ÄRGERLICH.txt", 9)});
    const std::vector<const ScanNode*> list = root->flattened();
    using V = std::vector<std::string>;
    auto names = [&](std::string_view query, std::size_t limit = IndexSearch::rankedLimit) {
        V out;
        for (const ScanNode* n : IndexSearch::ranked(query, list, limit))
            out.emplace_back(n->name());
        return out;
    };
    EXPECT_EQ(names("\n ärger\t"), (V{"ÄRGERLICH.txt", "Ärger", "\xff\xfe.bin", "song.mp3"}));
    EXPECT_EQ(names("ÄRGER", 3), (V{"ÄRGERLICH.txt", "Ärger", "\xff\xfe.bin"}));
    EXPECT_EQ(names("SONG"), (V{"song.mp3"}));
    EXPECT_EQ(names("\xff\xfe"), (V{"\xff\xfe.bin"}));
    EXPECT_TRUE(names(" \u00a0\n").empty());
    EXPECT_TRUE(names("txt", 0).empty());
}

// Paths are matched from the parents' answers: any order gives what each whole path gives.
TEST(IndexSearch, PathMatchesAgreeWithEachWholePathInAnyOrder) {
    TreeBuilder b;
    ScanNode* deep = b.dir("/data/Work/deep", {b.file("/data/Work/deep/x.bin", 4)});
    ScanNode* work =
        b.dir("/data/Work", {deep, b.file("/data/Work/plan.txt", 3), b.dir("/data/Work/ab", {})});
    ScanNode* other =
        b.dir("/data/other", {b.file("/data/other/a-work-file", 2),
                              b.dir("/data/other/b", {b.file("/data/other/b/c", 1)})});
    ScanNode* root = b.dir("/data", {work, other});
    std::vector<const ScanNode*> preOrder = root->flattened();
    std::vector<const ScanNode*> reversed(preOrder.rbegin(), preOrder.rend());
    std::vector<const ScanNode*> shuffled = preOrder;
    std::rotate(shuffled.begin(), shuffled.begin() + 3, shuffled.end());

    auto byWholePath = [&](std::string needle) {
        std::set<std::string> out;
        for (const ScanNode* n : preOrder) {
            std::string path; // holds the name
            QueryText::lowerCased(n->path(), path);
            if (path.find(needle) != std::string::npos) out.insert(n->path());
        }
        return out;
    };
    for (const std::string query : {"work", "WORK/deep", "k/d", "data", "deep", "b/c", "ab", "/"}) {
        std::string needle;
        QueryText::lowerCased(query, needle);
        const std::set<std::string> expected = byWholePath(needle);
        for (const auto* list : {&preOrder, &reversed, &shuffled}) {
            const auto found = IndexSearch::rankedHits(query, *list);
            std::set<std::string> paths;
            for (const ScanNode* n : found.hits)
                paths.insert(n->path());
            EXPECT_EQ(paths, expected) << query;
            EXPECT_EQ(found.matched, expected.size()) << query;
        }
    }
    // A search already superseded gives nothing.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(IndexSearch::rankedHits("work", preOrder, 10, stop.get_token()).hits.empty());
}

// Stored files are searched by name and inside the folders so found, as every path would be.
// Percent and underscore are removed, not wildcards; case is ASCII's.
TEST(StoredSearch, FindsWhatEveryPathHoldsLiterallyLargestFirst) {
    TreeBuilder t;
    ScanNode* cache = t.dir(
        "/home/u/Cache", {t.file("/home/u/Cache/huge.bin", 900),
                          t.dir("/home/u/Cache/cache2", {t.file("/home/u/Cache/cache2/blob", 300),
                                                         t.file("/home/u/Cache/cache2/x", 50)}),
                          t.file("/home/u/Cache/small", 1)});
    ScanNode* root = t.dir(
        "/home/u", {cache, t.file("/home/u/cache.db", 500), t.file("/home/u/notes", 700),
                    t.file("/home/u/Cache0", 2), t.file("/home/u/50%off", 20),
                    t.file("/home/u/500", 10), t.file("/home/u/a_b", 10), t.file("/home/u/ab", 10),
                    t.file("/home/u/axb", 10), t.file("/home/u/it's", 10),
                    t.dir("/home/u/Reports",
                          {t.file("/home/u/Reports/q1.txt", 10), t.file("/home/u/Reports/r", 5)})});
    root->rollup();
    test::TempHome home;
    auto saved = ScanStore::save(test::forestOf(t.tree(root)), "/home/u");
    ASSERT_TRUE(saved);
    using V = std::vector<std::string>;
    auto found = [&](const std::string& q, int limit = 24) {
        V out;
        for (const StoredHit& h : ScanStore::search(*saved, q, limit))
            out.push_back(h.path);
        return out;
    };
    EXPECT_EQ(found("CACHE", 4), (V{"/home/u/Cache", "/home/u/Cache/huge.bin", "/home/u/cache.db",
                                    "/home/u/Cache/cache2"}));
    EXPECT_EQ(found("cache", 9).size(), 8u); // each once; not /home/u or notes
    EXPECT_EQ(found("he2/bl", 6), (V{"/home/u/Cache/cache2/blob"}));
    EXPECT_EQ(found("small", 6), (V{"/home/u/Cache/small"}));
    // The root's own path holds the query: every row does.
    EXPECT_EQ(found("home", 2), (V{"/home/u", "/home/u/Cache"}));
    EXPECT_TRUE(found("cache", 0).empty());
    EXPECT_EQ(found("50%"), (V{"/home/u/50%off", "/home/u/500"}));
    // "a_b" searches for "ab": neither "a_b" nor "axb" contains that.
    EXPECT_EQ(found("a_b"), (V{"/home/u/ab"}));
    EXPECT_EQ(found("%_%"), V{});
    EXPECT_EQ(found(" \t\n"), V{});
    EXPECT_EQ(found("  rePORTs\n"),
              (V{"/home/u/Reports", "/home/u/Reports/q1.txt", "/home/u/Reports/r"}));
    EXPECT_EQ(found("it's"), (V{"/home/u/it's"}));
    const auto hits = ScanStore::search(*saved, "q1");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0], (StoredHit{"q1.txt", "/home/u/Reports/q1.txt", 10}));
    // A search already superseded gives nothing, by either way of reading.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(ScanStore::search(*saved, "cache", 6, stop.get_token()).empty());
    EXPECT_TRUE(ScanStore::search(*saved, "he2/bl", 6, stop.get_token()).empty());
    ScanRecord gone = *saved;
    gone.fileURL = home.home() + "/missing.sqlite";
    EXPECT_TRUE(ScanStore::search(gone, "cache").empty());
}

TEST(QueryText, TrimsUnicodeWhiteSpaceOnly) {
    EXPECT_EQ(QueryText::trimmed("\u3000 a b\u00a0\r\n"), "a b");
    EXPECT_EQ(QueryText::trimmed("\xa0x\xc2"), "\xa0x\xc2"); // lone bytes are not spaces
    std::string out;
    QueryText::lowerCased("AÉ\xffΣ", out);
    EXPECT_EQ(out, "aé\xffσ");
}

} // namespace
} // namespace tb
