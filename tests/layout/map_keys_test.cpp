#include <gtest/gtest.h>

#include <vector>

#include "layout/map_keys.h"
#include "layout/nested_treemap_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using MapKeysTest = test::LayoutTest;
using MapKeys::Arrow;

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
    for (const auto& row : table) {
        EXPECT_EQ(MapKeys::step(shapes, row.from, row.arrow), row.to)
            << row.from << " " << int(row.arrow);
    }
    EXPECT_EQ(MapKeys::first(shapes, b), 6u);
    EXPECT_EQ(MapKeys::first(shapes, nullptr), 0u);
    EXPECT_EQ(MapKeys::first({}, a), std::nullopt);
}

// On a real treemap, Right and Down from the first tile reach every sibling
// in turn and never one of another folder.
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
        for (Arrow arrow : {Arrow::left, Arrow::right, Arrow::up, Arrow::down}) {
            if (const auto next = MapKeys::step(shapes, at, arrow)) todo.push_back(*next);
        }
    }
    for (std::size_t i = 0; i < shapes.size(); ++i)
        EXPECT_EQ(seen[i], shapes[i].parent == root) << i;
}

} // namespace
} // namespace tb
