// tarnbeck-bench duplicates PATH [--limit N]: scan, then the duplicate search.
// One JSON line per group, then a summary line.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "analysis/duplicate_finder.h"
#include "bench_command.h"
#include "scan/directory_walker.h"

namespace tb::bench {
namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int duplicates(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "usage: tarnbeck-bench duplicates PATH [--limit N]\n";
        return 2;
    }
    int limit = DuplicateFinder::defaultLimit;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--limit") limit = std::stoi(args[i + 1]);
    }

    const auto scanStart = std::chrono::steady_clock::now();
    ScanForest forest = DirectoryWalker::walk(args[0], [](const WalkProgress&) {});
    const double scanSeconds = secondsSince(scanStart);

    DuplicateStats stats;
    const auto dupStart = std::chrono::steady_clock::now();
    const auto groups = DuplicateFinder::groups(forest.nodes(), limit, {}, &stats);
    const double dupSeconds = secondsSince(dupStart);

    for (const auto& g : groups) {
        std::string paths;
        for (const auto& p : g.paths)
            paths += (paths.empty() ? "" : ", ") + jsonString(p);
        std::printf("{\"id\": \"%s\", \"size\": %lld, \"paths\": [%s]}\n", g.id.c_str(),
                    static_cast<long long>(g.size), paths.c_str());
    }
    const double mbPerSecond = dupSeconds > 0 ? stats.bytesHashed / 1e6 / dupSeconds : 0;
    std::printf(
        "{\"groups\": %zu, \"bytes_hashed\": %lld, \"files_hashed\": %lld, "
        "\"heads_read\": %lld, \"dup_s\": %.4f, \"scan_s\": %.4f, \"hash_mb_s\": %.1f, "
        "\"files\": %zu, \"peak_rss_kb\": %ld}\n",
        groups.size(), static_cast<long long>(stats.bytesHashed),
        static_cast<long long>(stats.filesHashed), static_cast<long long>(stats.headsRead),
        dupSeconds, scanSeconds, mbPerSecond, forest.files().size(), peakRssKb());
    return 0;
}

Registration reg("duplicates", duplicates);

} // namespace
} // namespace tb::bench
