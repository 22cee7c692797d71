// tarnbeck-bench scan PATH [--workers N] [--hard-links once|every] [--store [DIR]]
//                         [--exclude PATTERN]... [--cross-mounts]:
// one real walk (and its save), one JSON line. Into the application's own
// store (no DIR), the root's older scans are pruned as the window prunes them.
// Only the patterns given are left out, so that the walk measures what du or
// gdu would be asked to.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include "bench_command.h"
#include "platform/file_system.h"
#include "scan/directory_walker.h"
#include "store/scan_retention.h"
#include "store/scan_store.h"

namespace tb::bench {
namespace {

int scan(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "usage: tarnbeck-bench scan PATH [--workers N] [--hard-links once|every] "
                     "[--store [DIR]] [--exclude PATTERN]... [--cross-mounts]\n";
        return 2;
    }
    DirectoryWalker::Options options;
    std::optional<std::string> store;
    bool defaultStore = false;
    std::vector<std::string> patterns;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
        if (args[i] == "--workers" && hasValue) options.workers = std::stoi(args[++i]);
        if (args[i] == "--hard-links") {
            auto mode = hasValue ? hardLinkMode(args[++i]) : std::nullopt;
            if (!mode) {
                std::cerr << "--hard-links takes once or every\n";
                return 2;
            }
            options.hardLinks = *mode;
        }
        if (args[i] == "--exclude") {
            if (i + 1 >= args.size()) {
                std::cerr << "--exclude takes a pattern\n";
                return 2;
            }
            patterns.push_back(args[++i]);
        }
        if (args[i] == "--cross-mounts") options.crossMounts = true;
        // Without a folder: the application's own store, made as it makes it.
        if (args[i] == "--store") {
            defaultStore = !hasValue;
            store = hasValue ? args[++i] : ScanStore::directory();
        }
    }
    if (store) {
        if (auto made = platform::FileSystem::makePrivateDirectories(*store); !made) {
            std::cerr << "cannot create " << *store << ": " << made.error().message << "\n";
            return 1;
        }
    }
    options.exclude = ExcludeRules(patterns);
    const int workers =
        options.workers > 0 ? options.workers : DirectoryWalker::workerCount(args[0]);
    const auto start = std::chrono::steady_clock::now();
    ScanForest forest = DirectoryWalker::walk(
        args[0], [](const WalkProgress&) {}, {}, options);
    const double walkSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto dirs = forest.nodes().size() - forest.files().size();
    std::string saved;
    if (store) {
        const auto saveStart = std::chrono::steady_clock::now();
        auto record = ScanStore::saveIn(*store, forest, args[0]);
        const double saveSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - saveStart).count();
        if (!record) {
            std::cerr << "save failed: " << record.error().message << "\n";
            return 1;
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, ", \"save_s\": %.4f", saveSeconds);
        // The application's store is kept as the application keeps it.
        std::size_t removed = 0;
        if (defaultStore) removed = ScanRetention::pruneAfterSave(*store, *record).size();
        auto size = platform::FileSystem::values(record->fileURL);
        saved = buf + (", \"file\": " + jsonString(record->fileURL)) +
                ", \"file_bytes\": " + std::to_string(size ? size->size : 0) +
                ", \"scans_removed\": " + std::to_string(removed);
    }
    std::printf(
        "{\"root\": %s, \"entries\": %lld, \"files\": %zu, \"dirs\": %zu, "
        "\"unreadable\": %lld, \"logical\": %lld, \"allocated\": %lld, "
        "\"walk_s\": %.4f, \"peak_rss_kb\": %ld, \"workers\": %d, \"hard_links\": \"%s\", "
        "\"left_out\": %lld%s}\n",
        jsonString(args[0]).c_str(), (long long)forest.visited(), forest.files().size(), dirs,
        (long long)forest.unreadable(), (long long)forest.root()->logicalSize(),
        (long long)forest.root()->allocatedSize(), walkSeconds, peakRssKb(), workers,
        std::string(rawValue(options.hardLinks)).c_str(), (long long)forest.context().leftOutCount,
        saved.c_str());
    return 0;
}

Registration reg("scan", scan);

} // namespace
} // namespace tb::bench
