#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "layout/bubble_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using BubbleLayoutTest = test::LayoutTest;

TEST_F(BubbleLayoutTest, ZeroBytesAndTinyAreas) {
    const auto circles = BubbleLayout::hits(nodes.ranked({100, 0}, 7, 5), {600, 400});
    ASSERT_EQ(circles.size(), 3u);
    EXPECT_DOUBLE_EQ(circles[1].radius, 12);
    EXPECT_EQ(circles[2].label, "Other (7)");
    EXPECT_EQ(circles[2].id, BubbleLayout::bucketId);
    EXPECT_EQ(circles[2].node, nullptr);

    // No room for any margin: every circle lands in the centre, no larger
    // than the area allows.
    for (const auto& c : BubbleLayout::hits(nodes.ranked({5, 4, 3}), {10, 10})) {
        EXPECT_EQ(c.center, (Point{5, 5}));
        EXPECT_DOUBLE_EQ(c.radius, 3.4);
    }
}

TEST_F(BubbleLayoutTest, HitPrefersTheSmallestCircle) {
    auto r = nodes.ranked({1, 2, 3});
    const std::vector<CircleHit> circles = {
        {r.visible[0]->id(), r.visible[0], {100, 100}, 50, "big", 1},
        {r.visible[1]->id(), r.visible[1], {110, 100}, 10, "small", 2},
        {r.visible[2]->id(), r.visible[2], {90, 100}, 10, "twin", 3},
    };
    EXPECT_EQ(BubbleLayout::hit({112, 100}, circles)->label, "small");
    EXPECT_EQ(BubbleLayout::hit({100, 100}, circles)->label, "small"); // in both: first of equals
    EXPECT_EQ(BubbleLayout::hit({100, 150}, circles)->label, "big");   // on the rim
    EXPECT_FALSE(BubbleLayout::hit({100, 151}, circles));
    EXPECT_FALSE(BubbleLayout::hit({0, 0}, {}));
}

TEST_F(BubbleLayoutTest, PlacedCirclesKeepGapAndMarginOverRandomInputs) {
    std::mt19937 rng(5);
    for (int round = 0; round < 100; ++round) {
        std::vector<std::int64_t> bytes(1 + rng() % 12);
        for (auto& b : bytes)
            b = rng() % 1'000'000;
        std::sort(bytes.rbegin(), bytes.rend());
        const Size size{double(200 + rng() % 1400), double(200 + rng() % 800)};
        const Point centre{size.width / 2, size.height / 2};
        const auto circles = BubbleLayout::hits(nodes.ranked(bytes, int(rng() % 2), 1000), size);
        for (std::size_t i = 1; i < circles.size(); ++i) {
            const auto& c = circles[i];
            EXPECT_GE(c.radius, std::min(12.0, 0.34 * std::min(size.width, size.height)));
            if (c.center == centre) continue; // found no place
            EXPECT_GT(c.center.x - c.radius, 6);
            EXPECT_GT(c.center.y - c.radius, 6);
            EXPECT_LT(c.center.x + c.radius, size.width - 6);
            EXPECT_LT(c.center.y + c.radius, size.height - 6);
            for (std::size_t j = 0; j < i; ++j) {
                const auto& p = circles[j];
                EXPECT_GE(std::hypot(c.center.x - p.center.x, c.center.y - p.center.y),
                          p.radius + c.radius + 4);
            }
        }
    }
}

} // namespace
} // namespace tb
