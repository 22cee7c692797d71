#include <gtest/gtest.h>

#include <map>
#include <random>

#include "layout/flame_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using FlameLayoutTest = test::LayoutTest;

TEST_F(FlameLayoutTest, ShortAreaKeepsTheMinimumRowHeight) {
    auto* root = nodes.folder({nodes.file(3), nodes.file(1)});
    const auto bars = FlameLayout::hits(root, {600, 50});
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(bars[0].rect, (Rect{0, 0, 600, 17}));
    EXPECT_EQ(bars[0].node, root);
    EXPECT_EQ(bars[1].rect, (Rect{0, 18, 450, 17}));
    EXPECT_EQ(bars[2].rect, (Rect{450, 18, 150, 17}));
    // The row height follows the area when it is tall enough.
    EXPECT_EQ(FlameLayout::hits(root, {600, 500})[1].rect, (Rect{0, 100, 450, 99}));
}

TEST_F(FlameLayoutTest, ListsBarsInPreOrderDescendingOnlyIntoBarsWiderThanEight) {
    auto* a = nodes.folder({nodes.file(2, "a1"), nodes.file(1, "a2")}, "a");
    auto* b = nodes.folder({nodes.file(1, "b1")}, "b");
    auto* root = nodes.folder({a, b}, "root");
    const auto bars = FlameLayout::hits(root, {900, 500});
    std::vector<std::string> labels;
    for (const auto& bar : bars)
        labels.push_back(bar.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"root", "a", "a1", "a2", "b", "b1"}));
    // Each bar names its row and its parent.
    EXPECT_EQ(bars[0].parent, nullptr);
    EXPECT_EQ(bars[2].parent, a);
    EXPECT_EQ(bars[2].depth, 2);
    EXPECT_EQ(bars[4].parent, root);
    EXPECT_EQ(bars[4].depth, 1);
    // Only bars wider than eight points are descended into.
    for (double width : {8.0, 8.5}) {
        auto* lone = nodes.folder({nodes.file(1)});
        EXPECT_EQ(FlameLayout::hits(lone, {width, 100}).size(), width > 8 ? 2u : 1u) << width;
    }
}

TEST_F(FlameLayoutTest, DrawsTheTenLargestChildrenAndLeavesTheRestEmpty) {
    // Not sorted: up to ten children keep their order, more are ranked.
    std::vector<ScanNode*> children;
    for (int bytes : {50, 100, 100, 100, 100, 100, 100, 100, 100, 100, 50, 100}) {
        children.push_back(nodes.file(bytes));
    }
    const auto few = FlameLayout::hits(nodes.folder({children[0], children[1]}), {300, 100});
    EXPECT_EQ(few[1].node, children[0]);
    EXPECT_EQ(few[2].rect, (Rect{100, 20, 200, 19}));

    const auto bars = FlameLayout::hits(nodes.folder(children), {1100, 100});
    ASSERT_EQ(bars.size(), 11u);
    EXPECT_EQ(bars[1].node, children[1]);
    EXPECT_EQ(bars[10].node, children[11]);
    EXPECT_EQ(bars[10].rect.x + bars[10].rect.width, 1000); // 100 of 1100 bytes left empty
}

TEST_F(FlameLayoutTest, HitTakesTheLastBarAndZeroByteChildrenGetOnePointBars) {
    const auto bars = FlameLayout::hits(nodes.folder({nodes.file(0), nodes.file(0)}), {600, 100});
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(bars[1].rect, (Rect{0, 20, 1, 19}));
    EXPECT_EQ(bars[2].rect, (Rect{0, 20, 1, 19}));
    // Overlapping bars: the later one is on top.
    EXPECT_EQ(FlameLayout::hit({0.5, 25}, bars)->id, bars[2].id);
    const auto two = FlameLayout::hits(nodes.folder({nodes.file(3), nodes.file(1)}), {600, 50});
    EXPECT_EQ(FlameLayout::hit({500, 20}, two)->id, two[2].id);
    EXPECT_EQ(FlameLayout::hit({449.9, 20}, two)->id, two[1].id);
    EXPECT_FALSE(FlameLayout::hit({10, 17.5}, two)); // the gap between rows
    EXPECT_FALSE(FlameLayout::hit({10, 40}, two));
}

TEST_F(FlameLayoutTest, MaxDepthBoundsTheRows) {
    ScanNode* chain = nodes.file(1);
    for (int i = 0; i < 9; ++i)
        chain = nodes.folder({chain});
    EXPECT_EQ(FlameLayout::hits(chain, {600, 500}).size(), 5u);
    EXPECT_EQ(FlameLayout::hits(chain, {600, 500}, 1).size(), 1u);
    const auto zero = FlameLayout::hits(chain, {600, 500}, 0);
    ASSERT_EQ(zero.size(), 1u);
    EXPECT_EQ(zero[0].rect, (Rect{0, 0, 600, 499}));
    EXPECT_TRUE(FlameLayout::hits(nullptr, {600, 500}).empty());
    // A deep chain does not exhaust the stack.
    ScanNode* deep = nodes.file(1);
    for (int i = 0; i < 200'000; ++i)
        deep = nodes.folder({deep});
    EXPECT_EQ(FlameLayout::hits(deep, {1600, 900}, 1'000'000).size(), 200'001u);
}

// Bars of one row never overlap (beyond the one-point minimum width), and
// no bar reaches past the right edge of the area.
TEST_F(FlameLayoutTest, BarsOfARowNeverOverlapOverRandomTrees) {
    std::mt19937 rng(3);
    for (int round = 0; round < 50; ++round) {
        std::vector<ScanNode*> level;
        for (int i = 0; i < 400; ++i)
            level.push_back(nodes.file(rng() % 5 ? rng() % 100'000 : 0));
        while (level.size() > 1) {
            std::vector<ScanNode*> next;
            for (std::size_t i = 0; i < level.size();) {
                const std::size_t take = std::min<std::size_t>(1 + rng() % 14, level.size() - i);
                std::vector<ScanNode*> group(level.begin() + long(i),
                                             level.begin() + long(i + take));
                std::stable_sort(group.begin(), group.end(), [](auto* a, auto* b) {
                    return a->allocatedSize() > b->allocatedSize();
                });
                next.push_back(nodes.folder(group));
                i += take;
            }
            level = next;
        }
        const auto bars = FlameLayout::hits(level[0], {1600, 900});
        std::map<double, std::vector<Rect>> rows;
        for (const auto& bar : bars) {
            if (bar.rect.width <= 1) continue; // the one-point minimum may stick out
            rows[bar.rect.y].push_back(bar.rect);
            EXPECT_LE(bar.rect.x + bar.rect.width, 1600 + 1e-9);
        }
        for (const auto& [y, rects] : rows) {
            for (std::size_t i = 0; i < rects.size(); ++i) {
                for (std::size_t j = i + 1; j < rects.size(); ++j) {
                    // Cousins may touch within rounding of the running sums.
                    EXPECT_TRUE(rects[i].x + rects[i].width <= rects[j].x + 1e-9 ||
                                rects[j].x + rects[j].width <= rects[i].x + 1e-9)
                        << "row " << y << ": " << rects[i].x << "+" << rects[i].width << " vs "
                        << rects[j].x << "+" << rects[j].width;
                }
            }
        }
    }
}

} // namespace
} // namespace tb
