#include <gtest/gtest.h>

#include <algorithm>

#include "store/index_search.h"
#include "store/query_text.h"
#include "store/scan_store.h"
#include "store_test_support.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::TreeBuilder;

std::vector<std::string> paths(const std::vector<StoredHit>& hits) {
    std::vector<std::string> out;
    for (const auto& h : hits)
        out.push_back(h.path);
    std::sort(out.begin(), out.end());
    return out;
}

class StoredSearch : public ::testing::Test {
protected:
    void SetUp() override {
        ScanNode* root = b.dir("/s", {
                                         b.file("/s/50%off", 10),
                                         b.file("/s/500", 10),
                                         b.file("/s/a_b", 10),
                                         b.file("/s/ab", 10),
                                         b.file("/s/axb", 10),
                                         b.file("/s/it's", 10),
                                         b.dir("/s/Reports", {b.file("/s/Reports/q1.txt", 10)}),
                                     });
        auto saved = ScanStore::save(test::forestOf(b.tree(root)), "/s");
        ASSERT_TRUE(saved);
        record = *saved;
    }
    std::vector<std::string> search(const std::string& q, int limit = 24) {
        return paths(ScanStore::search(record, q, limit));
    }

    test::TempHome home;
    TreeBuilder b;
    ScanRecord record;
};

// Percent and underscore are removed, not wildcards; case is ASCII's.
TEST_F(StoredSearch, MatchesNameOrPathLiterallyIgnoringAsciiCase) {
    using V = std::vector<std::string>;
    EXPECT_EQ(search("50%"), (V{"/s/50%off", "/s/500"}));
    // "a_b" searches for "ab": neither "a_b" nor "axb" contains that.
    EXPECT_EQ(search("a_b"), (V{"/s/ab"}));
    EXPECT_EQ(search("%_%"), V{});
    EXPECT_EQ(search(" \t\n"), V{});
    EXPECT_EQ(search("  rePORTs\n"), (V{"/s/Reports", "/s/Reports/q1.txt"}));
    EXPECT_EQ(search("it's"), (V{"/s/it's"}));
    const auto hits = ScanStore::search(record, "q1");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0], (StoredHit{"q1.txt", "/s/Reports/q1.txt", 10}));
}

// What is big is what the user is after: the limit keeps the largest.
TEST_F(StoredSearch, LargestHitsComeFirstUpToTheLimit) {
    TreeBuilder t;
    ScanNode* root = t.dir(
        "/m", {t.file("/m/pkg-small", 5), t.file("/m/pkg-big", 900), t.file("/m/pkg-mid", 50)});
    auto saved = ScanStore::save(test::forestOf(t.tree(root)), "/m");
    ASSERT_TRUE(saved);
    const auto hits = ScanStore::search(*saved, "pkg-", 2);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].path, "/m/pkg-big");
    EXPECT_EQ(hits[1].path, "/m/pkg-mid");
    EXPECT_EQ(search("/s").size(), 9u);
    ScanRecord gone = record;
    gone.fileURL = home.home() + "/missing.sqlite";
    EXPECT_TRUE(ScanStore::search(gone, "s").empty());
}

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

TEST(QueryText, TrimsUnicodeWhiteSpaceOnly) {
    EXPECT_EQ(QueryText::trimmed("\u3000 a b\u00a0\r\n"), "a b");
    EXPECT_EQ(QueryText::trimmed("\xa0x\xc2"), "\xa0x\xc2"); // lone bytes are not spaces
    std::string out;
    QueryText::lowerCased("AÉ\xffΣ", out);
    EXPECT_EQ(out, "aé\xffσ");
}

} // namespace
} // namespace tb
