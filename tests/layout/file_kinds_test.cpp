#include <gtest/gtest.h>

#include "layout/file_kinds.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using FileKindsTest = test::LayoutTest;

using FileKinds::Kind;

TEST_F(FileKindsTest, ExtensionDecidesTheKindWithoutCase) {
    const std::pair<const char*, Kind> table[] = {
        {"film.MKV", Kind::video}, {"x.tar.gz", Kind::archives}, {"debian.iso", Kind::diskImages},
        {"Makefile", Kind::other}, {".bashrc", Kind::other},     {"weird.\xff\xfe", Kind::other},
    };
    for (const auto& [name, kind] : table)
        EXPECT_EQ(FileKinds::of(name), kind) << name;
}

TEST_F(FileKindsTest, BreakdownCountsEveryFileBelowAndPutsTheLargestKindFirst) {
    auto* clip = nodes.file(900, "clip.mp4");
    auto* inner = nodes.folder({nodes.file(300, "b.png"), nodes.file(500, "a.png"), clip});
    auto* root = nodes.folder({inner, nodes.file(100, "c.png"), nodes.file(5, "README")});
    const auto groups = FileKinds::breakdown(root);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].kind, Kind::video);
    EXPECT_EQ(groups[0].largest, std::vector<const ScanNode*>{clip});
    EXPECT_EQ(groups[1].kind, Kind::images);
    EXPECT_EQ(groups[1].bytes, 900);
    EXPECT_EQ(groups[1].count, 3);
    EXPECT_EQ(groups[1].largest[0]->name(), "a.png");
    EXPECT_EQ(groups[2].kind, Kind::other);
    EXPECT_TRUE(FileKinds::breakdown(nullptr).empty());
}

TEST_F(FileKindsTest, EachKindListsItsExtensionsLargestFirstWithoutCase) {
    auto* root = nodes.folder({
        nodes.folder({nodes.file(700, "a.MKV"), nodes.file(100, "b.mp4")}),
        nodes.file(200, "c.mkv"),
        nodes.file(100, "d.MP4"),
        nodes.file(50, "Makefile"),
        nodes.file(60, "notes.unknownext"), // too long for an extension
        nodes.file(30, "x.zzz"),
    });
    const auto groups = FileKinds::breakdown(root);
    ASSERT_EQ(groups.size(), 2u);
    using Row = FileKinds::ExtensionRow;
    EXPECT_EQ(groups[0].extensions, (std::vector<Row>{{"mkv", 900, 2}, {"mp4", 200, 2}}));
    // Equal bytes keep the names' order; no extension is a row of its own.
    EXPECT_EQ(groups[1].extensions, (std::vector<Row>{{"", 110, 2}, {"zzz", 30, 1}}));
    std::int64_t bytes = 0, count = 0;
    for (const auto& row : groups[0].extensions) {
        bytes += row.bytes;
        count += row.count;
    }
    EXPECT_EQ(bytes, groups[0].bytes);
    EXPECT_EQ(count, groups[0].count);
}

TEST_F(FileKindsTest, ExtensionsBeyondTheListedOnesAreSummedInOneLastRow) {
    std::vector<ScanNode*> files;
    const std::size_t kinds = FileKinds::extensionsPerKind + 3;
    for (std::size_t i = 0; i < kinds; ++i)
        files.push_back(nodes.file(std::int64_t(1000 - i),
                                   "f." + std::string(1, char('a' + i % 26)) + std::to_string(i)));
    files.push_back(nodes.file(1, "g." + std::string(1, 'a') + std::to_string(kinds - 1)));
    const auto groups = FileKinds::breakdown(nodes.folder(files));
    ASSERT_EQ(groups.size(), 1u);
    const auto& rows = groups[0].extensions;
    ASSERT_EQ(rows.size(), FileKinds::extensionsPerKind + 1);
    EXPECT_FALSE(rows[0].rest);
    EXPECT_TRUE(rows.back().rest);
    EXPECT_EQ(rows.back().count, 4); // three extensions, one of them twice
    const std::int64_t last = 1000 - std::int64_t(kinds - 1);
    EXPECT_EQ(rows.back().bytes, (last + 1) + (last + 2) + last + 1);
}

TEST_F(FileKindsTest, AFolderTakesTheKindOfMostOfItsBytesFromOnePass) {
    auto* clips = nodes.folder({nodes.file(500, "a.mp4"), nodes.file(100, "b.png")});
    auto* pics = nodes.folder({nodes.file(300, "c.png"), nodes.file(200, "d.mp4")});
    auto* tie = nodes.folder({nodes.file(50, "e.png"), nodes.file(50, "f.mp4")});
    auto* empty = nodes.folder({});
    auto* root = nodes.folder({clips, pics, tie, empty, nodes.file(10, "g.iso")});
    const auto kinds = FileKinds::folderKinds(root);
    EXPECT_EQ(kinds.size(), 5u);
    const std::pair<const ScanNode*, Kind> table[] = {
        {clips, Kind::video}, {pics, Kind::images}, {tie, Kind::video}, // equals: the first kind
        {empty, Kind::other}, {root, Kind::video}, // 750 of video against 450 of images
    };
    for (const auto& [node, kind] : table)
        EXPECT_EQ(FileKinds::kindOf(*node, kinds), kind) << node->name();
    EXPECT_EQ(FileKinds::kindOf(*root->children().back(), kinds), Kind::diskImages);
    EXPECT_EQ(FileKinds::kindOf(*nodes.folder({nodes.file(9, "h.mp3")}), kinds), Kind::other);
    EXPECT_TRUE(FileKinds::folderKinds(nullptr).empty());
}

} // namespace
} // namespace tb
