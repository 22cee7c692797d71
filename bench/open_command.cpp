// tarnbeck-bench open FILE: what `tarnbeck FILE` does before the window
// exists (check the scan file) against reading its tree, with the bytes each
// asked the kernel for. The window reads the tree once, after the check.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

#include <sys/stat.h>

#include "app/opening.h"
#include "bench_command.h"
#include "store/scan_store.h"

namespace tb::bench {
namespace {

// Bytes this thread has read, page cache or not.
long long bytesRead() {
    std::ifstream io("/proc/thread-self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

struct Cost {
    double seconds;
    long long bytes;
};

template <typename F>
Cost measure(F&& work) {
    const long long before = bytesRead();
    const auto start = std::chrono::steady_clock::now();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            bytesRead() - before};
}

Registration openRegistration("open", [](const std::vector<std::string>& args) -> int {
    if (args.size() != 1) {
        std::cerr << "usage: open FILE\n";
        return 2;
    }
    struct stat st {};
    if (::stat(args[0].c_str(), &st) != 0) {
        std::perror(args[0].c_str());
        return 1;
    }
    std::optional<Opening> opening;
    const Cost check = measure([&] { opening = resolveOpening(args[0]); });
    if (!opening || !opening->scan) return 1;
    std::size_t nodes = 0;
    const Cost load = measure([&] {
        if (auto tree = ScanStore::load(*opening->scan)) nodes = tree->arena->nodeCount();
    });
    std::printf(
        "{\"file_bytes\": %lld, \"check_s\": %.3f, \"check_read_bytes\": %lld, "
        "\"load_s\": %.3f, \"load_read_bytes\": %lld, \"nodes\": %zu}\n",
        static_cast<long long>(st.st_size), check.seconds, check.bytes, load.seconds, load.bytes,
        nodes);
    return 0;
});

} // namespace
} // namespace tb::bench
