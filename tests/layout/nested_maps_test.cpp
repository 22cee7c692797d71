#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <random>

#include "layout/nested_treemap_layout.h"
#include "layout/sunburst_layout.h"
#include "layout/treemap_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using NestedTreemapLayoutTest = test::LayoutTest;
using SunburstRingsTest = test::LayoutTest;

constexpr double pi = std::numbers::pi;

// A random tree four levels deep, folders of 1 to 20 children, so that some
// levels have buckets.
ScanNode* randomTree(test::Nodes& nodes, std::mt19937& rng, int levels) {
    std::vector<ScanNode*> children(1 + rng() % 20);
    for (auto& c : children) {
        c = levels > 1 && rng() % 3 == 0 ? randomTree(nodes, rng, levels - 1)
                                         : nodes.file(std::int64_t(1 + rng() % 100'000));
    }
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

// Siblings never overlap, each tile lies in its folder's inner area below the
// header, and the cells of one folder share its inner area by bytes.
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
            if (t.framed) {
                innerOf[t.node] = {t.rect.x + 2, t.rect.y + 16, t.rect.width - 4,
                                   t.rect.height - 18};
            }
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
                for (std::size_t j = i + 1; j < group.size(); ++j) {
                    EXPECT_TRUE(test::apart(group[i]->rect, group[j]->rect));
                }
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

TEST_F(NestedTreemapLayoutTest, DropsTinyTilesAndDoesNotOpenSmallFolders) {
    ScanNode* small = nodes.folder({nodes.file(1), nodes.file(1)});
    ScanNode* root = nodes.folder({nodes.file(1'000'000), small, nodes.file(1)});
    const auto tiles = NestedTreemapLayout::hits(root, {400, 300}, 4);
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].bytes, 1'000'000);

    // Depth 1 never frames, whatever the room.
    ScanNode* big = nodes.folder({nodes.file(50), nodes.file(50)});
    for (const RectHit& t : NestedTreemapLayout::hits(nodes.folder({big}), {800, 600}, 1)) {
        EXPECT_FALSE(t.framed);
    }
}

TEST_F(NestedTreemapLayoutTest, EveryLevelHasItsOwnBucket) {
    std::vector<ScanNode*> many;
    for (int i = 0; i < 14; ++i)
        many.push_back(nodes.file(1000 - i));
    ScanNode* crowded = nodes.folder(many);
    std::vector<ScanNode*> top{crowded};
    for (int i = 0; i < 14; ++i)
        top.push_back(nodes.file(10));
    const auto tiles = NestedTreemapLayout::hits(nodes.folder(top), {1600, 900}, 2);
    int buckets = 0;
    for (const RectHit& t : tiles) {
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

} // namespace
} // namespace tb
