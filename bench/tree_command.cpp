// tarnbeck-bench gen-tree DIR ENTRIES [SEED] [--name-bytes N]: a reproducible tree, in a new
// DIR, shaped like a large source checkout (deep folders, many small files, a
// few big ones); names average N bytes when asked (about 10 otherwise).
// tarnbeck-bench bare-walk PATH [--workers N]: the floor a walk can reach on
// this machine: getdents64 + statx on N threads (default: the walk's own
// count), nothing kept, mounts below the root not entered.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_command.h"
#include "scan/directory_walker.h"

namespace tb::bench {
namespace {

int genTree(const std::vector<std::string>& args) {
    std::vector<std::string> plain;
    std::size_t nameBytes = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--name-bytes" && i + 1 < args.size()) {
            nameBytes = std::stoul(args[++i]);
        } else {
            plain.push_back(args[i]);
        }
    }
    if (plain.size() < 2) {
        std::cerr << "usage: tarnbeck-bench gen-tree DIR ENTRIES [SEED] [--name-bytes N]\n";
        return 2;
    }
    const std::string root = plain[0];
    const long target = std::stol(plain[1]);
    std::mt19937_64 rng(plain.size() > 2 ? std::stoull(plain[2]) : 42);
    // Lower-case padding, spread evenly around the asked average.
    auto padded = [&](std::string name, std::size_t suffix) {
        if (nameBytes <= name.size() + suffix) return name;
        const std::size_t aim = nameBytes - suffix;
        const std::size_t spread = std::min<std::size_t>(8, aim - name.size());
        const std::size_t want = aim - spread + rng() % (2 * spread + 1);
        name.reserve(want);
        name.push_back('_');
        while (name.size() < want)
            name.push_back(char('a' + rng() % 26));
        return name;
    };
    // A folder of our own, so that nobody else has made names inside it.
    if (::mkdir(root.c_str(), 0755) != 0) {
        std::cerr << "tarnbeck-bench gen-tree: " << root << ": " << std::strerror(errno)
                  << " (give a folder that does not exist yet)\n";
        return 1;
    }
    std::vector<std::pair<std::string, int>> dirs{{root, 0}};
    std::string block(64 * 1024, 'x');
    long made = 0;
    std::size_t next = 0;
    while (made < target) {
        if (next >= dirs.size()) next = 0;
        auto [dir, depth] = dirs[next++];
        const int files = int(rng() % 40);
        const int subdirs = depth < 12 ? int(rng() % 4) : 0;
        for (int i = 0; i < files && made < target; ++i, ++made) {
            const std::string path = dir + "/" + padded("f" + std::to_string(made), 4) + ".txt";
            // A new file or none: nothing already there is written through.
            const int fd =
                ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd < 0) {
                std::cerr << "tarnbeck-bench gen-tree: " << path << ": " << std::strerror(errno)
                          << "\n";
                return 1;
            }
            // Mostly tiny files, some empty, one in 500 large.
            const auto roll = rng() % 1000;
            std::size_t size = roll < 300 ? 0 : roll < 998 ? rng() % 3000 : 65536;
            if (::write(fd, block.data(), size) < 0) return 1;
            ::close(fd);
        }
        for (int i = 0; i < subdirs && made < target; ++i, ++made) {
            const std::string path = dir + "/" + padded("d" + std::to_string(made), 0);
            ::mkdir(path.c_str(), 0755);
            dirs.emplace_back(path, depth + 1);
        }
    }
    std::printf("{\"root\": %s, \"entries\": %ld, \"dirs\": %zu}\n", jsonString(root).c_str(), made,
                dirs.size());
    return 0;
}

// Nothing is kept: one 64 KiB buffer per thread, the names read in place,
// statx relative to the open folder, and only subfolder paths queued.
int bareWalk(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "usage: tarnbeck-bench bare-walk PATH [--workers N]\n";
        return 2;
    }
    int workers = DirectoryWalker::workerCount(args[0]);
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--workers") workers = std::max(1, std::stoi(args[i + 1]));
    }
    const auto start = std::chrono::steady_clock::now();
    struct statx rootStat {};
    if (::statx(AT_FDCWD, args[0].c_str(), AT_STATX_DONT_SYNC, STATX_TYPE, &rootStat) != 0) {
        std::cerr << "tarnbeck-bench bare-walk: " << args[0] << ": " << std::strerror(errno)
                  << "\n";
        return 1;
    }
    const unsigned rootMajor = rootStat.stx_dev_major, rootMinor = rootStat.stx_dev_minor;
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> stack{args[0]};
    int active = 0;
    std::atomic<long> entries{0};
    auto work = [&] {
        std::vector<char> buffer(64 * 1024);
        std::vector<std::string> found;
        long seen = 0;
        for (;;) {
            std::string dir;
            {
                std::unique_lock lock(m);
                cv.wait(lock, [&] { return !stack.empty() || active == 0; });
                if (stack.empty()) break;
                dir = std::move(stack.back());
                stack.pop_back();
                ++active;
            }
            found.clear();
            const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            for (long n; fd >= 0 &&
                         (n = ::syscall(SYS_getdents64, fd, buffer.data(), buffer.size())) > 0;) {
                for (long at = 0; at < n;) {
                    const char* record = buffer.data() + at;
                    unsigned short length;
                    std::memcpy(&length, record + 16, sizeof length);
                    at += length;
                    const char* name = record + 19;
                    if (name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]))) continue;
                    struct statx sx {};
                    if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                                STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_MTIME |
                                    STATX_SIZE | STATX_BLOCKS,
                                &sx) != 0) {
                        continue;
                    }
                    ++seen;
                    if (S_ISDIR(sx.stx_mode) && sx.stx_dev_major == rootMajor &&
                        sx.stx_dev_minor == rootMinor) {
                        found.push_back(dir + "/" += name);
                    }
                }
            }
            if (fd >= 0) ::close(fd);
            bool over;
            {
                std::lock_guard lock(m);
                for (auto& f : found)
                    stack.push_back(std::move(f));
                over = --active == 0 && stack.empty();
            }
            // One wake-up per new folder; everyone once the walk is over.
            if (over) {
                cv.notify_all();
            } else {
                for (std::size_t i = 0; i < found.size() && i < std::size_t(workers); ++i)
                    cv.notify_one();
            }
        }
        entries += seen;
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < workers; ++i)
        threads.emplace_back(work);
    for (auto& t : threads)
        t.join();
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("{\"entries\": %ld, \"walk_s\": %.4f, \"workers\": %d}\n", entries.load(), s,
                workers);
    return 0;
}

Registration gen("gen-tree", genTree);
Registration bare("bare-walk", bareWalk);

} // namespace
} // namespace tb::bench
