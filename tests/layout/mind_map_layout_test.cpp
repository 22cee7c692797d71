#include <gtest/gtest.h>

#include "layout/mind_map_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using MindMapLayoutTest = test::LayoutTest;

TEST_F(MindMapLayoutTest, BranchesFanOutOverTheBandWithThicknessByBytes) {
    const auto branches = MindMapLayout::hits(nodes.ranked({100, 50, 0}, 7, 10), {500, 300});
    ASSERT_EQ(branches.size(), 4u);
    const double ys[] = {28, 28 + 244.0 / 3, 28 + 2 * 244.0 / 3, 272};
    const double widths[] = {6.2, 3.7, 1.2, 1.7};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(branches[i].end.y, ys[i]);
        EXPECT_DOUBLE_EQ(branches[i].thickness, widths[i]);
    }
    EXPECT_EQ(branches[3].label, "Other (7)");
    EXPECT_EQ(branches[3].id, MindMapLayout::bucketId);
    EXPECT_EQ(branches[3].node, nullptr);

    // A single branch ends at the middle.
    const auto single = MindMapLayout::hits(nodes.ranked({9}), {500, 300});
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].start, (Point{40, 150}));
    EXPECT_EQ(single[0].end, (Point{500 * 0.62, 150}));
    EXPECT_DOUBLE_EQ(single[0].thickness, 6.2);
    EXPECT_TRUE(MindMapLayout::hits({}, {500, 300}).empty());
}

TEST_F(MindMapLayoutTest, OnlyBranchEndsCloserThan28PointsAreHot) {
    const auto branches = MindMapLayout::hits(nodes.ranked({3, 2, 1}), {500, 300});
    const Point end = branches[0].end;
    EXPECT_EQ(MindMapLayout::hit({end.x, end.y - 27.9}, branches)->id, branches[0].id);
    EXPECT_FALSE(MindMapLayout::hit({end.x, end.y - 28}, branches));
    EXPECT_EQ(MindMapLayout::hit({end.x + 1, 140}, branches)->id, branches[1].id);
    // Half way between two ends: the first wins.
    const auto dense = MindMapLayout::hits(nodes.ranked({1, 1, 1, 1}, 9, 1), {500, 156});
    const double middle = (dense[1].end.y + dense[2].end.y) / 2; // 20 from both
    EXPECT_EQ(MindMapLayout::hit({end.x, middle}, dense)->id, dense[1].id);
    // The middle of a line is not hot.
    EXPECT_FALSE(MindMapLayout::hit({(40 + end.x) / 2, 150}, branches));
    EXPECT_FALSE(MindMapLayout::hit(end, {}));
}

} // namespace
} // namespace tb
