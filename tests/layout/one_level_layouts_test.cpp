// The maps of one level: a folder's ranked children and a bucket for the rest.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "layout/bubble_layout.h"
#include "layout/file_kinds.h"
#include "layout/mind_map_layout.h"
#include "layout/sunburst_layout.h"
#include "layout/treemap_layout.h"
#include "layout_fixture.h"

namespace tb {
namespace {

using TreemapLayoutTest = test::LayoutTest;
using SunburstLayoutTest = test::LayoutTest;
using BubbleLayoutTest = test::LayoutTest;
using MindMapLayoutTest = test::LayoutTest;
using FileKindsTest = test::LayoutTest;
using FileKinds::Kind;

constexpr double pi = std::numbers::pi;

TEST_F(TreemapLayoutTest, StripsInsetByOnePointAndASharedEdgeHitsNeitherNeighbour) {
    const auto ranked = nodes.ranked({300, 100});
    const auto wide = TreemapLayout::hits(ranked, {400, 200});
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0].rect, (Rect{1, 1, 298, 198}));
    EXPECT_EQ(wide[1].rect, (Rect{301, 1, 98, 198}));
    EXPECT_EQ(wide[0].node, ranked.visible[0]);
    EXPECT_EQ(wide[0].id, ranked.visible[0]->id());
    EXPECT_EQ(wide[0].label, ranked.visible[0]->name());
    EXPECT_EQ(wide[1].bytes, 100);
    EXPECT_FALSE(TreemapLayout::hit({300, 100}, wide));
    EXPECT_FALSE(TreemapLayout::hit({299.5, 100}, wide));
    EXPECT_EQ(TreemapLayout::hit({150, 100}, wide)->bytes, 300);
    EXPECT_EQ(TreemapLayout::hit({301, 100}, wide)->bytes, 100);

    const auto tall = TreemapLayout::hits(ranked, {200, 400});
    EXPECT_EQ(tall[0].rect, (Rect{1, 1, 198, 298}));
    EXPECT_EQ(tall[1].rect, (Rect{1, 301, 198, 98}));
}

TEST_F(TreemapLayoutTest, ZeroBytesEmptyAreasAndNoChildrenGiveEmptyTilesNeverHit) {
    const auto tiles = TreemapLayout::hits(nodes.ranked({0, 0, 0}), {400, 200});
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_TRUE(tiles[0].rect.isEmpty());
    EXPECT_TRUE(tiles[1].rect.isEmpty());
    EXPECT_EQ(tiles[2].rect, (Rect{3, 1, 396, 198}));
    EXPECT_FALSE(TreemapLayout::hit({1.5, 100}, tiles));
    EXPECT_EQ(TreemapLayout::hit({3, 100}, tiles)->id, tiles[2].id);
    for (Size size : {Size{0, 200}, Size{400, 0}, Size{0, 0}}) {
        const auto flat = TreemapLayout::hits(nodes.ranked({5, 3}, 2, 2), size);
        ASSERT_EQ(flat.size(), 3u);
        for (const auto& t : flat)
            EXPECT_TRUE(t.rect.isEmpty());
    }
    EXPECT_TRUE(TreemapLayout::hits({}, {400, 200}).empty());
}

// Each strip (the tile grown back by its inset) holds its share; the strips tile the area.
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
        for (std::size_t i = 0; i < tiles.size(); ++i)
            for (std::size_t j = i + 1; j < tiles.size(); ++j)
                EXPECT_TRUE(test::apart(tiles[i].rect, tiles[j].rect)) << i << " and " << j;
    }
}

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

TEST_F(SunburstLayoutTest, HitNormalisesAnglesAroundTheTopAndEmptyInputsHitNothing) {
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

TEST_F(BubbleLayoutTest, ZeroBytesTinyAreasAndHitPrefersTheSmallestCircle) {
    const auto circles = BubbleLayout::hits(nodes.ranked({100, 0}, 7, 5), {600, 400});
    ASSERT_EQ(circles.size(), 3u);
    EXPECT_DOUBLE_EQ(circles[1].radius, 12);
    EXPECT_EQ(circles[2].label, "Other (7)");
    EXPECT_EQ(circles[2].id, BubbleLayout::bucketId);
    EXPECT_EQ(circles[2].node, nullptr);

    // No room for any margin: every circle lands in the centre, as large as the area allows.
    for (const auto& c : BubbleLayout::hits(nodes.ranked({5, 4, 3}), {10, 10})) {
        EXPECT_EQ(c.center, (Point{5, 5}));
        EXPECT_DOUBLE_EQ(c.radius, 3.4);
    }
    auto r = nodes.ranked({1, 2, 3});
    const std::vector<CircleHit> placed = {
        {r.visible[0]->id(), r.visible[0], {100, 100}, 50, "big", 1},
        {r.visible[1]->id(), r.visible[1], {110, 100}, 10, "small", 2},
        {r.visible[2]->id(), r.visible[2], {90, 100}, 10, "twin", 3},
    };
    EXPECT_EQ(BubbleLayout::hit({112, 100}, placed)->label, "small");
    EXPECT_EQ(BubbleLayout::hit({100, 100}, placed)->label, "small"); // in both: first of equals
    EXPECT_EQ(BubbleLayout::hit({100, 150}, placed)->label, "big");   // on the rim
    EXPECT_FALSE(BubbleLayout::hit({100, 151}, placed));
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

TEST_F(MindMapLayoutTest, BranchesFanOutWithThicknessByBytesAndOnlyTheirEndsAreHot) {
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
    // Only branch ends closer than 28 points are hot.
    const auto three = MindMapLayout::hits(nodes.ranked({3, 2, 1}), {500, 300});
    const Point end = three[0].end;
    EXPECT_EQ(MindMapLayout::hit({end.x, end.y - 27.9}, three)->id, three[0].id);
    EXPECT_FALSE(MindMapLayout::hit({end.x, end.y - 28}, three));
    EXPECT_EQ(MindMapLayout::hit({end.x + 1, 140}, three)->id, three[1].id);
    // Half way between two ends: the first wins.
    const auto dense = MindMapLayout::hits(nodes.ranked({1, 1, 1, 1}, 9, 1), {500, 156});
    const double middle = (dense[1].end.y + dense[2].end.y) / 2; // 20 from both
    EXPECT_EQ(MindMapLayout::hit({end.x, middle}, dense)->id, dense[1].id);
    // The middle of a line is not hot.
    EXPECT_FALSE(MindMapLayout::hit({(40 + end.x) / 2, 150}, three));
    EXPECT_FALSE(MindMapLayout::hit(end, {}));
}

TEST_F(FileKindsTest, ExtensionDecidesTheKindWithoutCase) {
    const std::pair<const char*, Kind> table[] = {
        {"film.MKV", Kind::video}, {"x.tar.gz", Kind::archives}, {"debian.iso", Kind::diskImages},
        {"Makefile", Kind::other}, {".bashrc", Kind::other},     {"weird.\xff\xfe", Kind::other},
    };
    for (const auto& [name, kind] : table)
        EXPECT_EQ(FileKinds::of(name), kind) << name;
}

TEST_F(FileKindsTest, BreakdownCountsEveryFileBelowLargestKindFirstWithItsExtensionsWithoutCase) {
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
    // Each kind lists its extensions largest first, without case.
    auto* mixed = nodes.folder({
        nodes.folder({nodes.file(700, "a.MKV"), nodes.file(100, "b.mp4")}),
        nodes.file(200, "c.mkv"),
        nodes.file(100, "d.MP4"),
        nodes.file(50, "Makefile"),
        nodes.file(60, "notes.unknownext"), // too long for an extension
        nodes.file(30, "x.zzz"),
    });
    const auto byKind = FileKinds::breakdown(mixed);
    ASSERT_EQ(byKind.size(), 2u);
    using Row = FileKinds::ExtensionRow;
    EXPECT_EQ(byKind[0].extensions, (std::vector<Row>{{"mkv", 900, 2}, {"mp4", 200, 2}}));
    // Equal bytes keep the names' order; no extension is a row of its own.
    EXPECT_EQ(byKind[1].extensions, (std::vector<Row>{{"", 110, 2}, {"zzz", 30, 1}}));
    EXPECT_EQ(byKind[0].bytes, 1100); // the rows add up to their kind
    EXPECT_EQ(byKind[0].count, 4);
}

TEST_F(FileKindsTest, ExtensionsBeyondTheListedOnesAreSummedInOneLastRow) {
    std::vector<ScanNode*> files;
    const std::size_t kinds = FileKinds::extensionsPerKind + 3;
    for (std::size_t i = 0; i < kinds; ++i)
        files.push_back(nodes.file(std::int64_t(1000 - i),
                                   "f." + std::string(1, char('a' + i % 26)) + std::to_string(i)));
    files.push_back(nodes.file(1, "g." + std::string(1, 'a') + std::to_string(kinds - 1)));
    const auto groups = FileKinds::breakdown(nodes.folder(files));
    ASSERT_EQ(groups.size(), 1u);
    const auto& rows = groups[0].extensions;
    ASSERT_EQ(rows.size(), FileKinds::extensionsPerKind + 1);
    EXPECT_FALSE(rows[0].rest);
    EXPECT_TRUE(rows.back().rest);
    EXPECT_EQ(rows.back().count, 4); // three extensions, one of them twice
    const std::int64_t last = 1000 - std::int64_t(kinds - 1);
    EXPECT_EQ(rows.back().bytes, (last + 1) + (last + 2) + last + 1);
}

TEST_F(FileKindsTest, AFolderTakesTheKindOfMostOfItsBytesFromOnePass) {
    auto* clips = nodes.folder({nodes.file(500, "a.mp4"), nodes.file(100, "b.png")});
    auto* pics = nodes.folder({nodes.file(300, "c.png"), nodes.file(200, "d.mp4")});
    auto* tie = nodes.folder({nodes.file(50, "e.png"), nodes.file(50, "f.mp4")});
    auto* empty = nodes.folder({});
    auto* root = nodes.folder({clips, pics, tie, empty, nodes.file(10, "g.iso")});
    const auto kinds = FileKinds::folderKinds(root);
    EXPECT_EQ(kinds.size(), 5u);
    const std::pair<const ScanNode*, Kind> table[] = {
        {clips, Kind::video}, {pics, Kind::images}, {tie, Kind::video}, // equals: the first kind
        {empty, Kind::other}, {root, Kind::video}, // 750 of video against 450 of images
    };
    for (const auto& [node, kind] : table)
        EXPECT_EQ(FileKinds::kindOf(*node, kinds), kind) << node->name();
    EXPECT_EQ(FileKinds::kindOf(*root->children().back(), kinds), Kind::diskImages);
    EXPECT_EQ(FileKinds::kindOf(*nodes.folder({nodes.file(9, "h.mp3")}), kinds), Kind::other);
    EXPECT_TRUE(FileKinds::folderKinds(nullptr).empty());
}

} // namespace
} // namespace tb
