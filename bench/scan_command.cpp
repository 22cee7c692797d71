// tarnbeck-bench scan PATH [--workers N]: one real walk, one JSON line.
#include <chrono>
#include <cstdio>
#include <iostream>

#include "bench_command.h"
#include "scan/directory_walker.h"

namespace tb::bench {
namespace {

int scan(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "usage: tarnbeck-bench scan PATH [--workers N]\n";
        return 2;
    }
    DirectoryWalker::Options options;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--workers") options.workers = std::stoi(args[i + 1]);
    }
    const int workers = options.workers > 0 ? options.workers : DirectoryWalker::workerCount();
    const auto start = std::chrono::steady_clock::now();
    ScanForest forest = DirectoryWalker::walk(args[0], [](const WalkProgress&) {}, {}, options);
    const double walkSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto dirs = forest.nodes().size() - forest.files().size();
    std::printf("{\"root\": %s, \"entries\": %lld, \"files\": %zu, \"dirs\": %zu, "
                "\"unreadable\": %lld, \"logical\": %lld, \"allocated\": %lld, "
                "\"walk_s\": %.4f, \"peak_rss_kb\": %ld, \"workers\": %d}\n",
                jsonString(args[0]).c_str(), (long long)forest.visited(), forest.files().size(),
                dirs, (long long)forest.unreadable(), (long long)forest.root()->logicalSize(),
                (long long)forest.root()->allocatedSize(), walkSeconds, peakRssKb(), workers);
    return 0;
}

Registration reg("scan", scan);

} // namespace
} // namespace tb::bench
