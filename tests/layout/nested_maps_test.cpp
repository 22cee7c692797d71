// Maps of several levels (nested tiles, rings, flame bars) and keys across them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <vector>

#include "layout/flame_layout.h"
#include "layout/map_depth.h"
#include "layout/map_keys.h"
#include "layout/nested_treemap_layout.h"
#include "layout/sunburst_layout.h"
#include "layout/treemap_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using NestedTreemapLayoutTest = test::LayoutTest;
using SunburstRingsTest = test::LayoutTest;
using AllLevelsTest = test::LayoutTest;
using MapKeysTest = test::LayoutTest;
using FlameLayoutTest = test::LayoutTest;
using MapKeys::Arrow;

constexpr double pi = std::numbers::pi;

// Four levels of folders of 1 to 20 children, so that some levels have buckets.
ScanNode* randomTree(test::Nodes& nodes, std::mt19937& rng, int levels) {
    std::vector<ScanNode*> children(1 + rng() % 20);
    for (auto& c : children)
        c = levels > 1 && rng() % 3 == 0 ? randomTree(nodes, rng, levels - 1)
                                         : nodes.file(std::int64_t(1 + rng() % 100'000));
    std::stable_sort(children.begin(), children.end(),
                     [](auto* a, auto* b) { return a->allocatedSize() > b->allocatedSize(); });
    return nodes.folder(children);
}

bool inside(const Rect& inner, const Rect& outer) {
    constexpr double e = 1e-9;
    return inner.x >= outer.x - e && inner.y >= outer.y - e &&
           inner.x + inner.width <= outer.x + outer.width + e &&
           inner.y + inner.height <= outer.y + outer.height + e;
}

// Siblings never overlap and lie below their folder's header, sharing its area by bytes.
TEST_F(NestedTreemapLayoutTest, NestsWithoutOverlapAndKeepsAreasProportionalWithinAFrame) {
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        const ScanNode* root = randomTree(nodes, rng, 4);
        const Size size{double(300 + rng() % 1300), double(200 + rng() % 700)};
        const int depth = 1 + int(rng() % 4);
        const auto tiles = NestedTreemapLayout::hits(root, size, depth);

        std::map<const ScanNode*, Rect> innerOf{{root, {0, 0, size.width, size.height}}};
        std::map<const ScanNode*, std::vector<const RectHit*>> byParent;
        for (const RectHit& t : tiles) {
            ASSERT_TRUE(innerOf.count(t.parent)) << "a tile before its folder";
            EXPECT_LT(t.depth, depth);
            EXPECT_TRUE(inside(t.rect, innerOf[t.parent]));
            EXPECT_GE(t.rect.width, NestedTreemapLayout::minTileSide);
            byParent[t.parent].push_back(&t);
            if (t.framed)
                innerOf[t.node] = {t.rect.x + 2, t.rect.y + 16, t.rect.width - 4,
                                   t.rect.height - 18};
        }
        for (const auto& [parent, group] : byParent) {
            std::int64_t total = 0;
            for (auto* t : group)
                total += t->bytes;
            const Rect& area = innerOf[parent];
            for (std::size_t i = 0; i < group.size(); ++i) {
                const Rect cell{0, 0, group[i]->rect.width + 2, group[i]->rect.height + 2};
                // Dropped tiny siblings take a little of the share; nothing more.
                EXPECT_LE(cell.area(),
                          area.area() * double(group[i]->bytes) / double(total) * 1.0001 + 1e-6);
                EXPECT_GE(cell.area(), area.area() * double(group[i]->bytes) /
                                               double(parent->allocatedSize()) * 0.9999 -
                                           1e-6);
                for (std::size_t j = i + 1; j < group.size(); ++j)
                    EXPECT_TRUE(test::apart(group[i]->rect, group[j]->rect));
            }
        }
    }
}

TEST_F(NestedTreemapLayoutTest, HitFindsTheDeepestTileAndTheHeaderFindsTheFolder) {
    ScanNode* leaf = nodes.file(100);
    ScanNode* inner = nodes.folder({leaf, nodes.file(100)});
    ScanNode* root = nodes.folder({inner, nodes.file(200)});
    const auto tiles = NestedTreemapLayout::hits(root, {800, 400}, 3);
    const RectHit& folder = *std::find_if(tiles.begin(), tiles.end(),
                                          [&](const RectHit& t) { return t.node == inner; });
    ASSERT_TRUE(folder.framed);
    const RectHit& file =
        *std::find_if(tiles.begin(), tiles.end(), [&](const RectHit& t) { return t.node == leaf; });
    EXPECT_EQ(file.depth, 1);
    const Point inLeaf{file.rect.x + file.rect.width / 2, file.rect.y + file.rect.height / 2};
    EXPECT_EQ(NestedTreemapLayout::hit(inLeaf, tiles)->node, leaf);
    const Point inHeader{folder.rect.x + 4, folder.rect.y + 4};
    EXPECT_EQ(NestedTreemapLayout::hit(inHeader, tiles)->node, inner);
    EXPECT_FALSE(NestedTreemapLayout::hit({-1, 5}, tiles));
}

TEST_F(NestedTreemapLayoutTest, DropsTinyTilesDoesNotOpenSmallFoldersAndGivesEveryLevelItsBucket) {
    ScanNode* small = nodes.folder({nodes.file(1), nodes.file(1)});
    ScanNode* root = nodes.folder({nodes.file(1'000'000), small, nodes.file(1)});
    const auto tiles = NestedTreemapLayout::hits(root, {400, 300}, 4);
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].bytes, 1'000'000);

    // Depth 1 never frames, whatever the room.
    ScanNode* big = nodes.folder({nodes.file(50), nodes.file(50)});
    for (const RectHit& t : NestedTreemapLayout::hits(nodes.folder({big}), {800, 600}, 1))
        EXPECT_FALSE(t.framed);
    std::vector<ScanNode*> many;
    for (int i = 0; i < 14; ++i)
        many.push_back(nodes.file(1000 - i));
    ScanNode* crowded = nodes.folder(many);
    std::vector<ScanNode*> top{crowded};
    for (int i = 0; i < 14; ++i)
        top.push_back(nodes.file(10));
    const auto levels = NestedTreemapLayout::hits(nodes.folder(top), {1600, 900}, 2);
    int buckets = 0;
    for (const RectHit& t : levels) {
        if (t.node) continue;
        ++buckets;
        EXPECT_EQ(t.label, t.depth == 0 ? "Other (3)" : "Other (2)");
        EXPECT_EQ(t.id == TreemapLayout::bucketId, t.depth == 0);
    }
    EXPECT_EQ(buckets, 2);
}

TEST_F(SunburstRingsTest, ChildrenShareTheirFoldersAnglesInTheNextRing) {
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round) {
        const ScanNode* root = randomTree(nodes, rng, 4);
        const Size size{1600, 900};
        const int depth = 1 + int(rng() % 4);
        const auto wedges = SunburstLayout::rings(root, size, depth);
        const double outer = 900 * SunburstLayout::outerRadiusFactor;
        const double width = (outer - outer * SunburstLayout::innerRadiusFactor) / depth;
        std::map<const ScanNode*, const WedgeHit*> wedgeOf;
        for (const WedgeHit& w : wedges) {
            EXPECT_LT(w.depth, depth);
            EXPECT_NEAR(w.outer - w.inner, width, 1e-9);
            if (w.parent == root) {
                EXPECT_EQ(w.depth, 0);
            } else {
                ASSERT_TRUE(wedgeOf.count(w.parent)) << "a wedge before its folder";
                const WedgeHit& p = *wedgeOf[w.parent];
                EXPECT_EQ(w.depth, p.depth + 1);
                EXPECT_NEAR(w.inner, p.outer, 1e-9);
                EXPECT_GE(w.start, p.start - 1e-9);
                EXPECT_LE(w.end, p.end + 1e-9);
                const double share = double(w.bytes) / double(std::max<std::int64_t>(p.bytes, 1));
                EXPECT_NEAR(w.end - w.start, (p.end - p.start) * share, 1e-9);
            }
            EXPECT_GE((w.end - w.start) * (w.inner + w.outer) / 2, SunburstLayout::minArc);
            if (w.node) wedgeOf[w.node] = &w;
        }
    }
}

TEST_F(SunburstRingsTest, HitFindsTheRingUnderThePointerAndDropsSlivers) {
    ScanNode* leaf = nodes.file(300);
    ScanNode* folder = nodes.folder({leaf, nodes.file(100)});
    ScanNode* root = nodes.folder({folder, nodes.file(400), nodes.file(0)});
    const Size size{400, 400};
    const auto wedges = SunburstLayout::rings(root, size, 3);
    ASSERT_EQ(wedges.size(), 4u); // the empty file has no arc
    const WedgeHit& outerLeaf = wedges[2];
    ASSERT_EQ(outerLeaf.node, leaf);
    EXPECT_DOUBLE_EQ(outerLeaf.start, -pi / 2);
    EXPECT_DOUBLE_EQ(outerLeaf.end, -pi / 2 + 0.75 * pi);
    const double mid = (outerLeaf.start + outerLeaf.end) / 2;
    const double r = (outerLeaf.inner + outerLeaf.outer) / 2;
    const Point p{200 + r * std::cos(mid), 200 + r * std::sin(mid)};
    EXPECT_EQ(SunburstLayout::hit(p, size, wedges)->node, leaf);
    const double r0 = (wedges[0].inner + wedges[0].outer) / 2;
    EXPECT_EQ(
        SunburstLayout::hit({200 + r0 * std::cos(mid), 200 + r0 * std::sin(mid)}, size, wedges)
            ->node,
        folder);
    EXPECT_FALSE(SunburstLayout::hit({200, 200}, size, wedges));
}

// Folders `levels` deep, each a folder and a file of one size: half the room per level.
ScanNode* nestedHalves(test::Nodes& nodes, int levels) {
    ScanNode* inner = nodes.file(1000);
    for (int i = 0; i < levels; ++i)
        inner = nodes.folder({inner, nodes.file(inner->allocatedSize())});
    return nodes.folder({inner});
}

int deepest(const std::vector<RectHit>& tiles) {
    int d = -1;
    for (const RectHit& t : tiles)
        d = std::max(d, t.depth);
    return d;
}

TEST_F(AllLevelsTest, TheTreemapGoesOnUntilTilesAreTooSmallAndDropsTheTiny) {
    ScanNode* root = nestedHalves(nodes, 40);
    const Size size{1600, 900};
    const auto four = NestedTreemapLayout::hits(root, size, 4);
    const auto all = NestedTreemapLayout::hits(root, size, MapDepth::all);
    EXPECT_EQ(deepest(four), 3);
    EXPECT_GT(deepest(all), 6);
    EXPECT_LT(deepest(all), 40); // the room runs out long before the tree
    std::map<const ScanNode*, const RectHit*> frameOf;
    for (const RectHit& t : all) {
        EXPECT_GE(t.rect.width, NestedTreemapLayout::minTileSide);
        EXPECT_GE(t.rect.height, NestedTreemapLayout::minTileSide);
        if (t.framed) {
            frameOf[t.node] = &t;
            // Only a folder with room for a readable level is opened.
            EXPECT_GE(t.rect.width - 2 * NestedTreemapLayout::framePadding,
                      NestedTreemapLayout::minInnerSide);
        }
        if (t.depth > 0) {
            ASSERT_TRUE(frameOf.count(t.parent)) << "a tile before its frame";
            const Rect& f = frameOf[t.parent]->rect;
            EXPECT_GE(t.rect.x, f.x);
            EXPECT_LE(t.rect.x + t.rect.width, f.x + f.width + 1e-9);
        }
    }
    // The levels the numbered depth shows are the same shapes.
    for (std::size_t i = 0; i < four.size(); ++i) {
        if (four[i].framed) continue;
        const auto same = std::find_if(all.begin(), all.end(),
                                       [&](const RectHit& t) { return t.id == four[i].id; });
        ASSERT_NE(same, all.end());
        EXPECT_EQ(same->rect, four[i].rect);
    }
}

TEST_F(AllLevelsTest, SunburstRingsReachAsDeepAsTheTreeButNeverThinnerThanTheLeast) {
    const Size size{1000, 800};
    const double outer = 800 * SunburstLayout::outerRadiusFactor;
    const double room = outer - outer * SunburstLayout::innerRadiusFactor;
    // A shallow tree: exactly its own levels, as wide as they can be.
    ScanNode* shallow = nestedHalves(nodes, 5);
    const auto wide = SunburstLayout::rings(shallow, size, MapDepth::all);
    int rings = 0;
    for (const WedgeHit& w : wide)
        rings = std::max(rings, w.depth + 1);
    EXPECT_EQ(rings, 6); // five folders, then the innermost files
    EXPECT_NEAR(wide.front().outer - wide.front().inner, room / 6, 1e-9);
    // A deep one: as many rings as fit.
    const auto deep = SunburstLayout::rings(nestedHalves(nodes, 40), size, MapDepth::all);
    EXPECT_FALSE(deep.empty());
    for (const WedgeHit& w : deep) {
        EXPECT_GE(w.outer - w.inner, SunburstLayout::minRingWidth);
        EXPECT_LT(w.depth, int(room / SunburstLayout::minRingWidth));
    }
    // Numbered depths still stop at four rings.
    for (const WedgeHit& w : SunburstLayout::rings(shallow, size, 4))
        EXPECT_LT(w.depth, 4);
}

TEST_F(MapKeysTest, ArrowsGoToTheNearestSiblingAheadAndStayAtTheEdge) {
    ScanNode* a = nodes.folder({});
    ScanNode* b = nodes.folder({});
    // Siblings of `a` on a grid of 3 × 2, and one shape of `b` right
    // beside the first, which the arrows never reach from `a`'s shapes.
    //   0 (0,0)   1 (10,0)   2 (20,0)
    //   3 (0,10)  4 (10,12)  5 (20,10)
    const std::vector<MapKeys::Shape> shapes{
        {a, {0, 0}},   {a, {10, 0}},  {a, {20, 0}}, {a, {0, 10}},
        {a, {10, 12}}, {a, {20, 10}}, {b, {1, 0}},
    };
    const struct {
        std::size_t from;
        Arrow arrow;
        std::optional<std::size_t> to;
    } table[] = {
        {0, Arrow::right, 1},
        {2, Arrow::right, std::nullopt},
        {2, Arrow::left, 1},
        {0, Arrow::left, std::nullopt},
        {0, Arrow::down, 3},
        {1, Arrow::down, 4},
        {4, Arrow::up, 1},
        {5, Arrow::left, 4},
        {4, Arrow::right, 5},
        {3, Arrow::right, 4},
        {6, Arrow::left, std::nullopt}, // alone in its folder
        {99, Arrow::left, std::nullopt},
    };
    for (const auto& row : table)
        EXPECT_EQ(MapKeys::step(shapes, row.from, row.arrow), row.to)
            << row.from << " " << int(row.arrow);
    EXPECT_EQ(MapKeys::first(shapes, b), 6u);
    EXPECT_EQ(MapKeys::first(shapes, nullptr), 0u);
    EXPECT_EQ(MapKeys::first({}, a), std::nullopt);
}

// On a real treemap, the arrows from the first tile reach every sibling and nothing else.
TEST_F(MapKeysTest, EveryTileOfALevelIsReachedFromTheFirst) {
    std::vector<ScanNode*> files{nodes.folder({nodes.file(300), nodes.file(200)})};
    for (int i = 0; i < 9; ++i)
        files.push_back(nodes.file(900 - 50 * i));
    ScanNode* root = nodes.folder(files);
    const auto tiles = NestedTreemapLayout::hits(root, {1200, 800}, 2);
    std::vector<MapKeys::Shape> shapes;
    for (const RectHit& t : tiles)
        shapes.push_back({t.parent, {t.rect.x + t.rect.width / 2, t.rect.y + t.rect.height / 2}});
    std::vector<bool> seen(shapes.size());
    std::vector<std::size_t> todo{*MapKeys::first(shapes, root)};
    while (!todo.empty()) {
        const std::size_t at = todo.back();
        todo.pop_back();
        if (seen[at]) continue;
        seen[at] = true;
        EXPECT_EQ(shapes[at].parent, root);
        for (Arrow arrow : {Arrow::left, Arrow::right, Arrow::up, Arrow::down})
            if (const auto next = MapKeys::step(shapes, at, arrow)) todo.push_back(*next);
    }
    for (std::size_t i = 0; i < shapes.size(); ++i)
        EXPECT_EQ(seen[i], shapes[i].parent == root) << i;
}

TEST_F(FlameLayoutTest, ShortAreaKeepsTheMinimumRowHeightAndBarsAreInPreOrderWiderThanEight) {
    auto* root = nodes.folder({nodes.file(3), nodes.file(1)});
    const auto bars = FlameLayout::hits(root, {600, 50});
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(bars[0].rect, (Rect{0, 0, 600, 17}));
    EXPECT_EQ(bars[0].node, root);
    EXPECT_EQ(bars[1].rect, (Rect{0, 18, 450, 17}));
    EXPECT_EQ(bars[2].rect, (Rect{450, 18, 150, 17}));
    // The row height follows the area when it is tall enough.
    EXPECT_EQ(FlameLayout::hits(root, {600, 500})[1].rect, (Rect{0, 100, 450, 99}));
    // Bars in pre-order, descending only into bars wider than eight points.
    auto* a = nodes.folder({nodes.file(2, "a1"), nodes.file(1, "a2")}, "a");
    auto* b = nodes.folder({nodes.file(1, "b1")}, "b");
    auto* top = nodes.folder({a, b}, "top");
    const auto listed = FlameLayout::hits(top, {900, 500});
    std::vector<std::string> labels;
    for (const auto& bar : listed)
        labels.push_back(bar.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"top", "a", "a1", "a2", "b", "b1"}));
    // Each bar names its row and its parent.
    EXPECT_EQ(listed[0].parent, nullptr);
    EXPECT_EQ(listed[2].parent, a);
    EXPECT_EQ(listed[2].depth, 2);
    EXPECT_EQ(listed[4].parent, top);
    EXPECT_EQ(listed[4].depth, 1);
    for (double width : {8.0, 8.5}) {
        auto* lone = nodes.folder({nodes.file(1)});
        EXPECT_EQ(FlameLayout::hits(lone, {width, 100}).size(), width > 8 ? 2u : 1u) << width;
    }
}

TEST_F(FlameLayoutTest, DrawsTheTenLargestChildrenAndLeavesTheRestEmpty) {
    // Not sorted: up to ten children keep their order, more are ranked.
    std::vector<ScanNode*> children;
    for (int bytes : {50, 100, 100, 100, 100, 100, 100, 100, 100, 100, 50, 100})
        children.push_back(nodes.file(bytes));
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

// Nor does any bar reach past the right edge of the area.
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
