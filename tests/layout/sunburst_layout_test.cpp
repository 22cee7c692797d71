#include <gtest/gtest.h>

#include <numbers>
#include <random>

#include "layout/sunburst_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using SunburstLayoutTest = test::LayoutTest;

constexpr double pi = std::numbers::pi;

TEST_F(SunburstLayoutTest, ThreeToOneSplitsTheRingAtPiAndTheBucketComesLast) {
    const auto wedges = SunburstLayout::hits(nodes.ranked({3, 1}), {400, 300});
    ASSERT_EQ(wedges.size(), 2u);
    EXPECT_DOUBLE_EQ(wedges[0].start, -pi / 2);
    EXPECT_DOUBLE_EQ(wedges[0].end, pi);
    EXPECT_DOUBLE_EQ(wedges[1].start, pi);
    EXPECT_DOUBLE_EQ(wedges[1].end, 3 * pi / 2);
    EXPECT_DOUBLE_EQ(wedges[0].outer, 300 * 0.46);
    EXPECT_DOUBLE_EQ(wedges[0].inner, 300 * 0.46 * 0.28);
    // The bucket is labelled Other, without a count.
    const auto bucket = SunburstLayout::hits(nodes.ranked({5, 4}, 3, 2), {200, 200});
    ASSERT_EQ(bucket.size(), 3u);
    EXPECT_EQ(bucket[2].label, "Other");
    EXPECT_EQ(bucket[2].node, nullptr);
    EXPECT_EQ(bucket[2].id, SunburstLayout::bucketId);
    EXPECT_EQ(bucket[2].bytes, 2);
}

TEST_F(SunburstLayoutTest, HitNormalisesAnglesAroundTheTop) {
    const Size size{400, 300}; // centre (200, 150), ring 38.64 to 138
    const auto wedges = SunburstLayout::hits(nodes.ranked({3, 1}), size);
    struct Case {
        Point point;
        int wedge; // -1: nothing
    } const cases[] = {
        {{200, 100}, 0},          // straight up
        {{199.999, 100}, 1},      // just left of straight up: just below 3pi/2
        {{150, 149.99}, 1},       // just above straight left
        {{200, 150 - 38.6}, -1},  // in the hole
        {{200, 150 - 138}, 0},    // on the outer edge
        {{200, 150 - 138.1}, -1}, // outside
    };
    for (const auto& c : cases) {
        const auto h = SunburstLayout::hit(c.point, size, wedges);
        if (c.wedge < 0) {
            EXPECT_FALSE(h) << c.point.x << "," << c.point.y;
        } else {
            ASSERT_TRUE(h) << c.point.x << "," << c.point.y;
            EXPECT_EQ(h->id, wedges[std::size_t(c.wedge)].id);
        }
    }
    EXPECT_FALSE(SunburstLayout::hit({200, 100}, size, {}));
}

TEST_F(SunburstLayoutTest, EmptyInputsAndZeroBytesHitNothing) {
    EXPECT_TRUE(SunburstLayout::hits({}, {400, 300}).empty());
    // All zero: every sweep is zero.
    const auto zero = SunburstLayout::hits(nodes.ranked({0, 0}), {400, 300});
    ASSERT_EQ(zero.size(), 2u);
    EXPECT_FALSE(SunburstLayout::hit({200, 100}, {400, 300}, zero));
    // An empty area has a ring of no width, not even at its centre.
    const auto flat = SunburstLayout::hits(nodes.ranked({3, 1}), {0, 300});
    EXPECT_EQ(flat[0].outer, 0);
    EXPECT_FALSE(SunburstLayout::hit({0, 150}, {0, 300}, flat));
}

TEST_F(SunburstLayoutTest, WedgesFollowEachOtherAndSumToAFullTurn) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::int64_t> bytes(1 + rng() % 12);
        for (auto& b : bytes)
            b = rng() % 1'000'000'000'000;
        const auto wedges = SunburstLayout::hits(nodes.ranked(bytes, 1, rng() % 1000), {300, 500});
        EXPECT_DOUBLE_EQ(wedges.front().start, -pi / 2);
        EXPECT_NEAR(wedges.back().end - wedges.front().start, 2 * pi, 1e-9);
        for (std::size_t i = 0; i + 1 < wedges.size(); ++i) {
            EXPECT_EQ(wedges[i].end, wedges[i + 1].start);
            EXPECT_GE(wedges[i].end, wedges[i].start);
        }
    }
}

} // namespace
} // namespace tb
