#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "layout/flame_layout.h"
#include "layout/map_depth.h"
#include "layout/nested_treemap_layout.h"
#include "layout/sunburst_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using AllLevelsTest = test::LayoutTest;

// Folders `levels` deep, each holding a folder and a file of the same size:
// every level has half the room of the one above.
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

} // namespace
} // namespace tb
