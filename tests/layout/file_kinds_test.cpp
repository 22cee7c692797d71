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

} // namespace
} // namespace tb
