// Store benchmarks: synth-save N DIR, load FILE, compare OLD NEW (both
// loaded), compare-stored OLD NEW (OLD read row by row, as the window does),
// search FILE QUERY [LIMIT], index-search FILE QUERY (in memory, after a load).
#include <chrono>
#include <cstdio>
#include <deque>
#include <iostream>
#include <random>

#include "bench_command.h"
#include "scan/node_arena.h"
#include "scan/scan_forest.h"
#include "store/index_search.h"
#include "store/scan_comparison.h"
#include "store/scan_store.h"

namespace tb::bench {
namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", s);
    return buf;
}

// A tree shaped roughly like a home folder: each folder holds up to 20 files
// and 4 subfolders, filled breadth first until N nodes exist.
NodeTree syntheticTree(std::size_t count) {
    auto arena = std::make_shared<NodeArena>();
    std::mt19937_64 rng(42);
    std::uniform_int_distribution<std::int64_t> size(0, 4'000'000);
    const Date base{1'600'000'000, 0};
    ScanNode* root = arena->make({.path = "/synthetic",
                                  .name = "synthetic",
                                  .isDirectory = true,
                                  .inode = 2,
                                  .modified = base});
    std::size_t made = 1;
    std::deque<ScanNode*> queue{root};
    std::uint64_t inode = 3;
    while (!queue.empty() && made < count) {
        ScanNode* dir = queue.front();
        queue.pop_front();
        std::vector<ScanNode*> children;
        for (int i = 0; i < 24 && made < count; ++i, ++made) {
            const bool isDir = i < 4;
            const std::string name =
                isDir ? "folder-" + std::to_string(i) : "document-" + std::to_string(i) + ".dat";
            const std::string path = std::string(dir->path()) + "/" + name;
            const std::int64_t bytes = isDir ? 0 : size(rng);
            ScanNode* n = arena->make({.path = path,
                                       .name = name,
                                       .isDirectory = isDir,
                                       .inode = inode++ | (made % 7 == 0 ? 1ull << 63 : 0),
                                       .modified = base.addingSeconds(double(made)),
                                       .logicalSize = bytes,
                                       .allocatedSize = (bytes + 4095) / 4096 * 4096});
            children.push_back(n);
            if (isDir) queue.push_back(n);
        }
        arena->setChildren(dir, children);
    }
    root->rollup();
    return NodeTree{std::move(arena), root};
}

struct Loaded {
    std::optional<ScanForest> forest;
    double loadSeconds = 0;
    double forestSeconds = 0;
};

Loaded loadForest(const std::string& file) {
    Loaded out;
    auto start = std::chrono::steady_clock::now();
    auto record = ScanStore::record(file);
    if (!record) return out;
    auto tree = ScanStore::load(*record);
    out.loadSeconds = secondsSince(start);
    if (!tree) return out;
    start = std::chrono::steady_clock::now();
    out.forest.emplace(std::move(*tree), record->unreadable, 0, record->context);
    out.forestSeconds = secondsSince(start);
    return out;
}

Registration synthSave("synth-save", [](const std::vector<std::string>& args) -> int {
    if (args.size() != 2) {
        std::cerr << "usage: synth-save N DIR\n";
        return 2;
    }
    const std::size_t count = std::stoull(args[0]);
    auto start = std::chrono::steady_clock::now();
    ScanForest forest(syntheticTree(count), 0, std::int64_t(count), std::nullopt);
    const double buildSeconds = secondsSince(start);
    start = std::chrono::steady_clock::now();
    auto saved = ScanStore::saveIn(args[1], forest, "/synthetic");
    const double saveSeconds = secondsSince(start);
    if (!saved) {
        std::cerr << saved.error().domain << " " << saved.error().code << ": "
                  << saved.error().message << "\n";
        return 1;
    }
    std::cout << "{\"nodes\": " << forest.nodes().size()
              << ", \"build_s\": " << seconds(buildSeconds)
              << ", \"save_s\": " << seconds(saveSeconds)
              << ", \"file\": " << jsonString(saved->fileURL)
              << ", \"peak_rss_kb\": " << peakRssKb() << "}\n";
    return 0;
});

Registration load("load", [](const std::vector<std::string>& args) -> int {
    if (args.size() != 1) {
        std::cerr << "usage: load FILE\n";
        return 2;
    }
    Loaded l = loadForest(args[0]);
    if (!l.forest) {
        std::cerr << "Could not open that scan.\n";
        return 1;
    }
    std::cout << "{\"nodes\": " << l.forest->nodes().size()
              << ", \"allocated\": " << l.forest->root()->allocatedSize()
              << ", \"load_s\": " << seconds(l.loadSeconds)
              << ", \"forest_s\": " << seconds(l.forestSeconds)
              << ", \"peak_rss_kb\": " << peakRssKb() << "}\n";
    return 0;
});

Registration compare("compare", [](const std::vector<std::string>& args) -> int {
    if (args.size() != 2) {
        std::cerr << "usage: compare OLD NEW\n";
        return 2;
    }
    Loaded previous = loadForest(args[0]);
    Loaded current = loadForest(args[1]);
    if (!previous.forest || !current.forest) {
        std::cerr << "Could not open that scan.\n";
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto changes = ScanComparison::compare(current.forest->root(), previous.forest->root());
    const double compareSeconds = secondsSince(start);
    std::cout << "{\"changes\": " << changes.size()
              << ", \"compare_s\": " << seconds(compareSeconds)
              << ", \"load_s\": " << seconds(previous.loadSeconds + current.loadSeconds)
              << ", \"peak_rss_kb\": " << peakRssKb() << "}\n";
    return 0;
});

Registration compareStored("compare-stored", [](const std::vector<std::string>& args) -> int {
    if (args.size() != 2) {
        std::cerr << "usage: compare-stored OLD NEW\n";
        return 2;
    }
    auto previous = ScanStore::record(args[0]);
    Loaded current = loadForest(args[1]);
    if (!previous || !current.forest) {
        std::cerr << "Could not open that scan.\n";
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto changes = ScanComparison::compare(current.forest->root(), *previous);
    const double compareSeconds = secondsSince(start);
    std::cout << "{\"changes\": " << changes.size()
              << ", \"compare_s\": " << seconds(compareSeconds)
              << ", \"load_s\": " << seconds(current.loadSeconds)
              << ", \"peak_rss_kb\": " << peakRssKb() << "}\n";
    return 0;
});

Registration search("search", [](const std::vector<std::string>& args) -> int {
    if (args.size() < 2 || args.size() > 3) {
        std::cerr << "usage: search FILE QUERY [LIMIT]\n";
        return 2;
    }
    auto record = ScanStore::record(args[0]);
    if (!record) {
        std::cerr << "Could not open that scan.\n";
        return 1;
    }
    const int limit = args.size() == 3 ? std::stoi(args[2]) : 6;
    const auto start = std::chrono::steady_clock::now();
    const auto hits = ScanStore::search(*record, args[1], limit);
    const double searchSeconds = secondsSince(start);
    std::cout << "{\"hits\": [";
    for (std::size_t i = 0; i < hits.size(); ++i) {
        std::cout << (i ? ", " : "") << "{\"name\": " << jsonString(hits[i].name)
                  << ", \"path\": " << jsonString(hits[i].path) << "}";
    }
    std::cout << "], \"search_s\": " << seconds(searchSeconds) << "}\n";
    return 0;
});

Registration indexSearch("index-search", [](const std::vector<std::string>& args) -> int {
    if (args.size() != 2) {
        std::cerr << "usage: index-search FILE QUERY\n";
        return 2;
    }
    Loaded l = loadForest(args[0]);
    if (!l.forest) {
        std::cerr << "Could not open that scan.\n";
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto hits = IndexSearch::matches(args[1], l.forest->nodes());
    std::cout << "{\"hits\": " << hits.size() << ", \"nodes\": " << l.forest->nodes().size()
              << ", \"search_s\": " << seconds(secondsSince(start)) << "}\n";
    return 0;
});

} // namespace
} // namespace tb::bench
