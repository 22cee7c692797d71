#include <gtest/gtest.h>

#include <random>

#include "layout/treemap_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using TreemapLayoutTest = test::LayoutTest;

TEST_F(TreemapLayoutTest, StripsInsetByOnePointFromTheLeftOfWideAndTheTopOfTallAreas) {
    const auto ranked = nodes.ranked({300, 100});
    const auto wide = TreemapLayout::hits(ranked, {400, 200});
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0].rect, (Rect{1, 1, 298, 198}));
    EXPECT_EQ(wide[1].rect, (Rect{301, 1, 98, 198}));
    EXPECT_EQ(wide[0].node, ranked.visible[0]);
    EXPECT_EQ(wide[0].id, ranked.visible[0]->id());
    EXPECT_EQ(wide[0].label, ranked.visible[0]->name());
    EXPECT_EQ(wide[1].bytes, 100);

    const auto tall = TreemapLayout::hits(ranked, {200, 400});
    EXPECT_EQ(tall[0].rect, (Rect{1, 1, 198, 298}));
    EXPECT_EQ(tall[1].rect, (Rect{1, 301, 198, 98}));
}

TEST_F(TreemapLayoutTest, SharedEdgeHitsNeitherNeighbour) {
    const auto tiles = TreemapLayout::hits(nodes.ranked({300, 100}), {400, 200});
    EXPECT_FALSE(TreemapLayout::hit({300, 100}, tiles));
    EXPECT_FALSE(TreemapLayout::hit({299.5, 100}, tiles));
    EXPECT_EQ(TreemapLayout::hit({150, 100}, tiles)->bytes, 300);
    EXPECT_EQ(TreemapLayout::hit({301, 100}, tiles)->bytes, 100);
}

TEST_F(TreemapLayoutTest, ZeroByteChildrenGetOnePointStripsThatAreNeverHit) {
    const auto tiles = TreemapLayout::hits(nodes.ranked({0, 0, 0}), {400, 200});
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_TRUE(tiles[0].rect.isEmpty());
    EXPECT_TRUE(tiles[1].rect.isEmpty());
    EXPECT_EQ(tiles[2].rect, (Rect{3, 1, 396, 198}));
    EXPECT_FALSE(TreemapLayout::hit({1.5, 100}, tiles));
    EXPECT_EQ(TreemapLayout::hit({3, 100}, tiles)->id, tiles[2].id);
}

TEST_F(TreemapLayoutTest, EmptyAreaOrNoChildrenGiveEmptyTiles) {
    for (Size size : {Size{0, 200}, Size{400, 0}, Size{0, 0}}) {
        const auto tiles = TreemapLayout::hits(nodes.ranked({5, 3}, 2, 2), size);
        ASSERT_EQ(tiles.size(), 3u);
        for (const auto& t : tiles)
            EXPECT_TRUE(t.rect.isEmpty());
    }
    EXPECT_TRUE(TreemapLayout::hits({}, {400, 200}).empty());
}

// Each strip (the tile grown back by its inset) holds its share of the area,
// and the strips tile the area exactly.
TEST_F(TreemapLayoutTest, AreasFollowBytesOverRandomInputs) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::int64_t> bytes(1 + rng() % 12);
        for (auto& b : bytes)
            b = 10'000 + rng() % 90'000;
        const int otherCount = int(rng() % 3);
        const std::int64_t otherBytes = otherCount ? 10'000 + rng() % 90'000 : 0;
        const Size size{double(100 + rng() % 300), double(100 + rng() % 300)};
        const auto tiles = TreemapLayout::hits(nodes.ranked(bytes, otherCount, otherBytes), size);

        std::int64_t total = 0;
        for (const auto& t : tiles)
            total += t.bytes;
        double covered = 0;
        for (const auto& t : tiles) {
            const double strip = (t.rect.width + 2) * (t.rect.height + 2);
            EXPECT_NEAR(strip, size.width * size.height * double(t.bytes) / double(total), 1e-6);
            covered += strip;
        }
        EXPECT_NEAR(covered, size.width * size.height, 1e-6);
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            for (std::size_t j = i + 1; j < tiles.size(); ++j) {
                EXPECT_TRUE(test::apart(tiles[i].rect, tiles[j].rect)) << i << " and " << j;
            }
        }
    }
}

} // namespace
} // namespace tb
