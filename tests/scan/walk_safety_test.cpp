// The walk reaches every folder by name from its open parent: it scans
// paths of any length, never follows a link swapped in above a folder, and
// counts a folder it may read but not search as unreadable.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "scan/directory_walker.h"
#include "support/second_user.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using namespace tb::test;

// A chain top/d/d/.../d built and removed one level at a time, as no path
// to its lower levels fits in PATH_MAX.
class DeepChain {
public:
    DeepChain(const std::string& top, int depth) : top_(top) {
        int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < depth; ++i) {
            ::mkdirat(fd, "d", 0755);
            const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        const int file = ::openat(fd, "leaf", O_WRONLY | O_CREAT, 0644);
        EXPECT_EQ(::write(file, "0123456789", 10), 10);
        ::close(file);
        ::close(fd);
    }
    ~DeepChain() {
        // Down by relative steps from the working folder, then back up
        // removing each level.
        const int home = ::open(".", O_RDONLY | O_DIRECTORY);
        if (::chdir(top_.c_str()) != 0) return;
        int depth = 0;
        while (::chdir("d") == 0)
            ++depth;
        ::unlink("leaf");
        for (; depth > 0; --depth) {
            if (::chdir("..") != 0) break;
            ::rmdir("d");
        }
        EXPECT_EQ(::fchdir(home), 0);
        ::close(home);
    }

private:
    std::string top_;
};

TEST(WalkSafety, ChainDeeperThanAnyPathIsScannedWhole) {
    // In memory where there is a tmpfs: ten thousand folders made and
    // removed one by one cost seconds on a disk.
    std::optional<ScopedEnv> inMemory;
    if (::access("/dev/shm", W_OK) == 0) inMemory.emplace("TMPDIR", "/dev/shm");
    TempDir t;
    constexpr int depth = 10'000; // paths of 20,000 bytes
    DeepChain chain(t.path(), depth);
    ScanForest f = DirectoryWalker::walk(t.path(), [](const WalkProgress&) {}, {}, {.workers = 4});
    EXPECT_EQ(f.unreadable(), 0);
    EXPECT_EQ(f.visited(), depth + 1);
    EXPECT_EQ(f.root()->logicalSize(), 10);
    EXPECT_EQ(f.nodes().size(), std::size_t(depth) + 2);
}

TEST(WalkSafety, FolderSwappedForALinkAboveAWaitingFolderPullsNothingIn) {
    TempDir t;
    put(t / "root/a/b/mine", "m");
    put(t / "outside/b/secret", "s");
    int reports = 0;
    // One worker: the root is listed, then a (b waits), then the swap.
    auto progress = [&](const WalkProgress&) {
        if (++reports == 2) {
            ::rename((t / "root/a").c_str(), (t / "root/a.old").c_str());
            ::symlink((t / "outside").c_str(), (t / "root/a").c_str());
            return;
        }
        // The next report must pass the gate.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    ScanForest f = DirectoryWalker::walk(t / "root", progress, {}, {.workers = 1});
    ASSERT_GE(reports, 2);
    const ScanNode* a = child(f.root(), "a");
    ASSERT_TRUE(a);
    const ScanNode* b = child(a, "b");
    ASSERT_TRUE(b);
    EXPECT_TRUE(child(b, "mine"));
    EXPECT_FALSE(child(b, "secret"));
}

// A folder the walk may not enter, at the first level or deeper (one may
// be listed but not searched): counted unreadable, its siblings and the
// sizes above it whole.
TEST(WalkSafety, FolderItMayNotEnterIsUnreadableAtAnyDepth) {
    struct Case {
        const char* locked; // below r
        mode_t mode;
        const char* seen; // unreadable, visited, and what the walk made of it
    };
    const Case cases[] = {{"listable", 0444, "1 4 empty 2"}, {"a/b/closed", 0000, "1 6 empty 2"}};
    for (const Case& c : cases) {
        TempDir t;
        const std::string root = t / "r";
        put(root + "/" + c.locked + "/inside", "aa");
        writeFile(root + "/" + c.locked + "/more", "bb");
        writeFile(root + "/open", "o");
        writeFile(root + "/" + c.locked + "/../beside", "s");
        ASSERT_EQ(::chmod((root + "/" + c.locked).c_str(), c.mode), 0);
        ASSERT_EQ(::chmod(t.path().c_str(), 0755), 0);
        // Root may enter any folder: the walk runs as uid 65534 then.
        const std::string seen = inChildAsNobody([&] {
            ScanForest f = DirectoryWalker::walk(root, [](const WalkProgress&) {});
            const ScanNode* n = f.root();
            std::string_view rest = c.locked;
            while (n && !rest.empty()) {
                const std::size_t slash = std::min(rest.find('/'), rest.size());
                n = child(n, std::string(rest.substr(0, slash)));
                rest.remove_prefix(std::min(slash + 1, rest.size()));
            }
            const bool empty = n && n->unreadable() && n->children().empty();
            return std::to_string(f.unreadable()) + " " + std::to_string(f.visited()) +
                   (empty ? " empty " : " ") + std::to_string(f.root()->logicalSize()) +
                   (f.context().complete ? " complete" : "");
        });
        ::chmod((root + "/" + c.locked).c_str(), 0755);
        if (seen == noSecondUser) GTEST_SKIP() << "cannot switch to uid 65534";
        EXPECT_EQ(seen, c.seen) << c.locked;
    }
}

} // namespace
} // namespace tb
