// Every map layout runs on each redraw. Small cases: the 13 shapes of one
// level (12 visible children and the bucket). Large cases: the flame, the
// nested treemap and the sunburst rings (three levels and all of them), the
// folders' kinds and newest times of a 1,000,000-entry tree, from a
// real scan of $TARNBECK_BENCH_TREE when set, otherwise from a synthetic tree
// shaped like a source tree.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "layout/bubble_layout.h"
#include "layout/file_kinds.h"
#include "layout/flame_layout.h"
#include "layout/map_depth.h"
#include "layout/mind_map_layout.h"
#include "layout/nested_treemap_layout.h"
#include "layout/sunburst_layout.h"
#include "layout/treemap_layout.h"
#include "scan/directory_walker.h"
#include "scan/node_arena.h"
#include "scan/size_ranking.h"
#include "scan/subtree_times.h"

namespace tb {
namespace {

constexpr Size area{1600, 900};

std::string joined(const std::string& parent, char prefix, std::size_t n) {
    std::string path(parent);
    path.push_back('/');
    path.push_back(prefix);
    path.append(std::to_string(n));
    return path;
}

// ~40,000 folders in a random recursive tree (mean depth about ln n, a few
// dozen levels at most) and ~960,000 files spread over them with a
// log-normal weight, so a few folders hold thousands of entries.
NodeTree syntheticTree(std::size_t entries, std::size_t folders) {
    auto arena = std::make_shared<NodeArena>();
    std::mt19937_64 rng(20240601);
    std::vector<ScanNode*> folderNodes;
    std::vector<std::string> folderPaths{"/bench"};
    std::vector<std::vector<ScanNode*>> children(folders);
    folderNodes.push_back(arena->make({.path = "/bench", .name = "bench", .isDirectory = true}));
    for (std::size_t i = 1; i < folders; ++i) {
        const std::size_t parent = rng() % i;
        folderPaths.push_back(joined(folderPaths[parent], 'd', i));
        const std::string& path = folderPaths.back();
        folderNodes.push_back(
            arena->make({.path = path,
                         .name = std::string_view(path).substr(path.rfind('/') + 1),
                         .isDirectory = true}));
        children[parent].push_back(folderNodes.back());
    }
    std::lognormal_distribution<double> weight(0, 1.5);
    std::vector<double> cumulative(folders);
    double sum = 0;
    for (auto& c : cumulative)
        c = sum += weight(rng);
    std::uniform_real_distribution<double> unit(0, 1);
    for (std::size_t i = 0; folders + i < entries; ++i) {
        const auto at = std::lower_bound(cumulative.begin(), cumulative.end(), unit(rng) * sum);
        const std::size_t folder = std::min<std::size_t>(at - cumulative.begin(), folders - 1);
        const std::string path = joined(folderPaths[folder], 'f', i);
        const auto logical = std::int64_t(std::exp2(unit(rng) * 24));
        children[folder].push_back(arena->make({
            .path = path,
            .name = std::string_view(path).substr(path.rfind('/') + 1),
            .logicalSize = logical,
            .allocatedSize = (logical + 4095) / 4096 * 4096,
        }));
    }
    for (std::size_t i = 0; i < folders; ++i)
        arena->setChildren(folderNodes[i], children[i]);
    ScanNode* root = folderNodes.front();
    root->rollup();
    root->sortBySize();
    return {std::move(arena), root};
}

struct HugeTree {
    std::optional<ScanForest> forest; // when scanned
    NodeTree synthetic;
    const ScanNode* root = nullptr;
    std::size_t entries = 0;
};

const HugeTree& hugeTree() {
    static const HugeTree tree = [] {
        HugeTree t;
        if (const char* folder = std::getenv("TARNBECK_BENCH_TREE"); folder && *folder) {
            t.forest = DirectoryWalker::walk(folder, [](const WalkProgress&) {});
            t.root = t.forest->root();
            t.entries = t.forest->nodes().size();
        } else {
            t.synthetic = syntheticTree(1'000'000, 40'000);
            t.root = t.synthetic.root;
            t.entries = 1'000'000;
        }
        return t;
    }();
    return tree;
}

// A folder of 40 files: ranked, 12 visible and a bucket of 28.
struct Level {
    NodeArena arena;
    ScanNode* folder = nullptr;
    RankedChildren ranked;
    Level() {
        std::vector<ScanNode*> files;
        for (int i = 0; i < 40; ++i) {
            const std::string path = joined("/level", 'f', std::size_t(i));
            files.push_back(arena.make({.path = path,
                                        .name = std::string_view(path).substr(7),
                                        .allocatedSize = 4096 * (1000 - 20 * i)}));
        }
        folder = arena.make({.path = "/level", .name = "level", .isDirectory = true});
        arena.setChildren(folder, files);
        folder->rollup();
        ranked = MapLayout::ranked(folder->children(), MapLayout::visibleLimit);
    }
};

const Level& level() {
    static const Level l;
    return l;
}

void BM_MapLayoutRanked(benchmark::State& state) {
    const auto children = level().folder->children();
    for (auto _ : state)
        benchmark::DoNotOptimize(MapLayout::ranked(children, MapLayout::visibleLimit));
}

void BM_TreemapLayout13(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(TreemapLayout::hits(level().ranked, area));
}

void BM_SunburstLayout13(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SunburstLayout::hits(level().ranked, area));
}

void BM_BubbleLayout13(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(BubbleLayout::hits(level().ranked, area));
}

void BM_MindMapLayout13(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(MindMapLayout::hits(level().ranked, area));
}

// The same folder as a flame: the root bar and its ten largest children.
void BM_FlameLayout13(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(FlameLayout::hits(level().folder, area));
}

void BM_FlameLayoutHugeTree(benchmark::State& state) {
    const HugeTree& tree = hugeTree();
    std::size_t bars = 0;
    for (auto _ : state) {
        auto hits = FlameLayout::hits(tree.root, area);
        bars = hits.size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["entries"] = double(tree.entries);
    state.counters["bars"] = double(bars);
}

// What one redraw of the nested maps costs on the huge tree: the treemap
// three levels deep and the sunburst with three rings.
void BM_NestedTreemapDepth3HugeTree(benchmark::State& state) {
    const HugeTree& tree = hugeTree();
    std::size_t tiles = 0;
    for (auto _ : state) {
        auto hits = NestedTreemapLayout::hits(tree.root, area, 3);
        tiles = hits.size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["entries"] = double(tree.entries);
    state.counters["tiles"] = double(tiles);
}

// The treemap with every level the room allows: what "All levels" costs.
void BM_NestedTreemapAllLevelsHugeTree(benchmark::State& state) {
    const HugeTree& tree = hugeTree();
    std::size_t tiles = 0;
    int levels = 0;
    for (auto _ : state) {
        auto hits = NestedTreemapLayout::hits(tree.root, area, MapDepth::all);
        tiles = hits.size();
        for (const RectHit& h : hits)
            levels = std::max(levels, h.depth + 1);
        benchmark::DoNotOptimize(hits);
    }
    state.counters["entries"] = double(tree.entries);
    state.counters["tiles"] = double(tiles);
    state.counters["levels"] = double(levels);
}

void BM_SunburstRingsAllHugeTree(benchmark::State& state) {
    const HugeTree& tree = hugeTree();
    std::size_t wedges = 0;
    for (auto _ : state) {
        auto hits = SunburstLayout::rings(tree.root, area, MapDepth::all);
        wedges = hits.size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["entries"] = double(tree.entries);
    state.counters["wedges"] = double(wedges);
}

// Colour by type on the huge tree's root: every folder's kind, once per root.
void BM_FolderKindsHugeTree(benchmark::State& state) {
    const HugeTree& tree = hugeTree();
    for (auto _ : state)
        benchmark::DoNotOptimize(FileKinds::folderKinds(tree.root));
    state.counters["entries"] = double(tree.entries);
}

// The folder list's Modified column on the huge tree's root.
void BM_SubtreeTimesHugeTree(benchmark::State& state) {
    const HugeTree& tree = hugeTree();
    for (auto _ : state)
        benchmark::DoNotOptimize(SubtreeTimes::newest(tree.root));
    state.counters["entries"] = double(tree.entries);
}

// The Types view of the whole huge tree: every file sorted into its kind.
void BM_FileKindsHugeTree(benchmark::State& state) {
    const HugeTree& tree = hugeTree();
    for (auto _ : state)
        benchmark::DoNotOptimize(FileKinds::breakdown(tree.root));
    state.counters["entries"] = double(tree.entries);
}

void BM_SunburstRings3HugeTree(benchmark::State& state) {
    const HugeTree& tree = hugeTree();
    std::size_t wedges = 0;
    for (auto _ : state) {
        auto hits = SunburstLayout::rings(tree.root, area, 3);
        wedges = hits.size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["entries"] = double(tree.entries);
    state.counters["wedges"] = double(wedges);
}

BENCHMARK(BM_MapLayoutRanked)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TreemapLayout13)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SunburstLayout13)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BubbleLayout13)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MindMapLayout13)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlameLayout13)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlameLayoutHugeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NestedTreemapDepth3HugeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SunburstRings3HugeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NestedTreemapAllLevelsHugeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SunburstRingsAllHugeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FolderKindsHugeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubtreeTimesHugeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FileKindsHugeTree)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tb
