#include <gtest/gtest.h>

#include "scan/age_bands.h"
#include "scan/scan_context.h"
#include "scan/size_ranking.h"
#include "scan/volume_accounting.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::TreeBuilder;

std::vector<const ScanNode*> files(TreeBuilder& b, std::initializer_list<std::int64_t> sizes) {
    std::vector<const ScanNode*> out;
    int i = 0;
    for (auto s : sizes)
        out.push_back(b.file("/f" + std::to_string(i++), s));
    return out;
}

TEST(SizeLeaders, KeepsLargestFirstAndTheEarlierOfEquals) {
    TreeBuilder b;
    auto nodes = files(b, {5, 9, 5, 7, 9, 1});
    auto top = SizeLeaders::take(nodes, 4);
    EXPECT_EQ(top, (std::vector<const ScanNode*>{nodes[1], nodes[4], nodes[3], nodes[0]}));
    auto same = top;
    SizeLeaders::insert(b.file("/eq", 5), same, 4);
    EXPECT_EQ(same, top);
    std::vector<const ScanNode*> none;
    SizeLeaders::insert(nodes[0], none, 0);
    EXPECT_TRUE(none.empty());
}

TEST(MapLayout, RankedBucketsOnlyWhatIsNotAmongTheLargest) {
    TreeBuilder b;
    auto exact = files(b, {1, 5, 3});
    auto all = MapLayout::ranked(exact, 3);
    EXPECT_EQ(all.visible, exact); // input order kept, no sorting
    EXPECT_EQ(all.otherCount, 0);
    EXPECT_EQ(all.totalVisible(), 9);

    auto equal = files(b, {4, 4, 4, 4});
    auto r = MapLayout::ranked(equal, 3);
    EXPECT_EQ(r.visible, (std::vector<const ScanNode*>(equal.begin(), equal.begin() + 3)));
    EXPECT_EQ(r.otherCount, 1);
    EXPECT_EQ(r.otherBytes, 4);
    EXPECT_EQ(r.totalVisible(), 16);

    auto zero = MapLayout::ranked(exact, 0);
    EXPECT_TRUE(zero.visible.empty());
    EXPECT_EQ(zero.otherCount, 3);
    EXPECT_EQ(zero.otherBytes, 9);
}

TEST(AgeLayout, BandBoundariesAreStrict) {
    TreeBuilder b;
    const Date now = Date::fromUnix(2'000'000'000, 0);
    auto at = [&](double ageSeconds, std::int64_t size) -> const ScanNode* {
        return b.file("/a", {.logicalSize = size,
                             .allocatedSize = size,
                             .modified = now.addingSeconds(-ageSeconds)});
    };
    std::vector<const ScanNode*> fs = {at(604800, 1),  at(604799, 2),   at(-10, 4),
                                       at(2592000, 8), at(7775999, 16), at(31536000, 32),
                                       at(1e10, 64)};
    auto bands = AgeLayout::bands(fs, now);
    ASSERT_EQ(bands.size(), 5u);
    EXPECT_EQ(bands[0].bytes, 2 + 4);
    EXPECT_EQ(bands[1].bytes, 1);
    EXPECT_EQ(bands[2].bytes, 8 + 16);
    EXPECT_EQ(bands[3].bytes, 0);
    EXPECT_EQ(bands[4].bytes, 32 + 64);
    const std::int64_t counts[] = {2, 1, 2, 0, 2};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(bands[std::size_t(i)].fileCount, counts[i]) << bands[std::size_t(i)].id;

    std::vector<const ScanNode*> many;
    for (int i = 0; i < 41; ++i)
        many.push_back(at(0, i + 1));
    auto crowded = AgeLayout::bands(many, now);
    EXPECT_EQ(crowded[0].files.size(), 40u);
    EXPECT_EQ(crowded[0].bytes, 41 * 42 / 2);
    EXPECT_EQ(crowded[0].fileCount, 41); // all of them, not only the 40 listed
    EXPECT_EQ(crowded[0].files.back()->allocatedSize(), 2);

    ScanNode* lone = b.file("/lone", {.logicalSize = 3, .allocatedSize = 3, .modified = now});
    auto single = AgeLayout::bands(*lone, now);
    EXPECT_EQ(single[0].files.size(), 1u);
    EXPECT_EQ(single[1].bytes + single[2].bytes + single[3].bytes + single[4].bytes, 0);
}

struct TruthCase {
    std::int64_t c, a, i, o, s;
    std::int64_t scanned, system, purgeable, free;
};

TEST(TruthMath, ReconcilesToTheCapacity) {
    const TruthCase cases[] = {
        {1000, 300, 400, 500, 200, 200, 300, 200, 300}, {100, 150, 150, 0, 0, 0, 0, 0, 100},
        {1000, 300, 100, 0, 0, 0, 700, 200, 100},       {1000, 500, 500, 500, 900, 500, 0, 0, 500},
        {1000, 300, 400, 500, -5, 0, 500, 200, 300},    {0, 0, 0, 0, 50, 0, 0, 0, 0},
    };
    for (const auto& t : cases) {
        auto m = TruthMath::reconcile(t.c, t.a, t.i, t.o, t.s, 2, false, "/x");
        std::vector<std::int64_t> bytes; // every row sums to the capacity
        for (const auto& s : m.slices)
            bytes.push_back(s.bytes);
        EXPECT_EQ(bytes, (std::vector<std::int64_t>{t.scanned, t.system, t.purgeable, t.free}))
            << t.c << " " << t.s;
        EXPECT_EQ(m.unreadableFolders, 2);
    }
}

TEST(VolumeAccounting, ScopeFollowsTheScanRoot) {
    VolumeSnapshot v{"/", "Disk", 1000, 300, 300, 300};
    auto whole = VolumeAccounting::truth(v, 10, 0, std::nullopt);
    EXPECT_TRUE(whole.isFullVolumeScope);
    EXPECT_EQ(whole.slices[1].label, "Other & system");
    EXPECT_EQ(whole.scopeLabel, "Disk");
    auto folder = VolumeAccounting::truth(v, 10, 0, std::string("/home/x"));
    EXPECT_FALSE(folder.isFullVolumeScope);
    EXPECT_EQ(folder.scopeLabel, "/home/x");
    EXPECT_TRUE(VolumeAccounting::truth(v, 10, 0, std::string("/")).isFullVolumeScope);
}

TEST(ScanContext, ScopeAndFallbacks) {
    auto volume = ScanContext::make("/", std::nullopt, true);
    EXPECT_EQ(volume.scope, ScanScopeKind::volume);
    auto folder = ScanContext::make("/home/u", std::nullopt, true);
    EXPECT_EQ(folder.scope, ScanScopeKind::selectedFolder);
    EXPECT_EQ(folder.volumeName, "/home/u");
    EXPECT_EQ(folder.volumeCapacity, 0);
    EXPECT_FALSE(folder.isComparable());
    auto known = ScanContext::make("/home/u", VolumeSnapshot{"/home/u", "Data", 10, 1, 1, 1}, true);
    EXPECT_TRUE(known.isComparable());
    EXPECT_EQ(known.volumeName, "Data");
}

} // namespace
} // namespace tb
