#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/path.h"
#include "platform/volume_info.h"
#include "scan/directory_lister.h"
#include "scan/directory_walker.h"
#include "scan/exclude_rules.h"
#include "support/second_user.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using namespace tb::test;

const RawEntry* find(const DirectoryListing& l, std::string_view name) {
    for (const auto& e : l.entries) {
        if (e.name == name) return &e;
    }
    return nullptr;
}

TEST(DirectoryLister, ReportsSizesTypesAndRawNames) {
    TempDir t;
    writeSizedFile(t / "small", 4000);
    // Sparse: a long length with almost nothing allocated.
    writeFile(t / "sparse", "x");
    ASSERT_EQ(::truncate((t / "sparse").c_str(), 10'000'000), 0);
    writeSizedFile(t / "linked", 9000);
    ASSERT_EQ(::link((t / "linked").c_str(), (t / "link2").c_str()), 0);
    makeDirs(t / "folder");
    makeDirs(t / "empty");
    writeFile(t / "folder/inner", "abc");
    ASSERT_EQ(::symlink((t / "folder").c_str(), (t / "to-folder").c_str()), 0);
    const std::string odd = "bad\xff\xfe name\n'%_\"";
    writeFile(t / odd, "z");
    setModified(t / "small", 1'600'000'000, 123456789);

    const auto root = VolumeID::of(t.path());
    auto listing = DirectoryLister::list(t.path(), root);
    ASSERT_FALSE(listing.unreadable);
    EXPECT_EQ(listing.entries.size(), 8u);

    const RawEntry* small = find(listing, "small");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->logicalSize, 4000);
    EXPECT_GE(small->allocatedSize, 4000);
    EXPECT_FALSE(small->mayShareBlocks);
    EXPECT_EQ(small->modified, Date::fromUnix(1'600'000'000, 123456789));
    struct stat st {};
    ::lstat((t / "small").c_str(), &st);
    EXPECT_EQ(small->inode, st.st_ino);

    const RawEntry* sparse = find(listing, "sparse");
    ASSERT_TRUE(sparse);
    EXPECT_EQ(sparse->logicalSize, 10'000'000);
    EXPECT_TRUE(sparse->mayShareBlocks);

    EXPECT_EQ(find(listing, "linked")->inode, find(listing, "link2")->inode);

    const RawEntry* folder = find(listing, "folder");
    EXPECT_TRUE(folder->isDirectory);
    EXPECT_FALSE(folder->isMount);
    EXPECT_EQ(folder->logicalSize, 0);
    EXPECT_EQ(folder->allocatedSize, 0);
    EXPECT_FALSE(folder->mayShareBlocks);

    const RawEntry* link = find(listing, "to-folder");
    EXPECT_FALSE(link->isDirectory);
    EXPECT_EQ(link->logicalSize, std::int64_t((t / "folder").size()));

    const RawEntry* weird = find(listing, odd);
    ASSERT_TRUE(weird);
    EXPECT_EQ(weird->url, t / odd);

    // The second path lists the same entries.
    auto slow = DirectoryLister::fallback(t.path(), root);
    ASSERT_EQ(slow.entries.size(), listing.entries.size());
    EXPECT_EQ(find(slow, "sparse")->logicalSize, 10'000'000);
    EXPECT_EQ(find(slow, odd)->url, t / odd);

    auto empty = DirectoryLister::list(t / "empty", root);
    EXPECT_FALSE(empty.unreadable);
    EXPECT_TRUE(empty.entries.empty());

    auto missing = DirectoryLister::list(t / "nope", root);
    EXPECT_TRUE(missing.unreadable);
    EXPECT_FALSE(BulkWalker::children(t / "nope", root).ok());
    EXPECT_EQ(BulkWalker::children(t / "nope", root).error().code, ENOENT);
}

TEST(DirectoryWalker, CountsEntriesRollsUpAHardLinkedFileOnceAndMarksAMissingRoot) {
    TempDir t;
    ScanForest empty = DirectoryWalker::walk(t.path(), [](const WalkProgress&) {});
    EXPECT_EQ(empty.visited(), 0);
    EXPECT_EQ(empty.unreadable(), 0);
    EXPECT_TRUE(empty.root()->children().empty());
    ScanForest missing = DirectoryWalker::walk(t / "gone", [](const WalkProgress&) {});
    EXPECT_EQ(missing.visited(), 1);
    EXPECT_EQ(missing.unreadable(), 1);
    EXPECT_TRUE(missing.root()->unreadable());
    EXPECT_TRUE(missing.root()->isDirectory());
    EXPECT_FALSE(missing.context().complete);

    for (auto name : {"a", "b", "c"})
        writeSizedFile(t / name, 1000);
    putSized(t / "sub/big", 1'000'000);
    ASSERT_EQ(::link((t / "sub/big").c_str(), (t / "sub/big2").c_str()), 0);
    ASSERT_EQ(::mkfifo((t / "sub/pipe").c_str(), 0600), 0); // must never be opened

    int reports = 0;
    ScanForest f = DirectoryWalker::walk(t.path(), [&](const WalkProgress&) { ++reports; });
    EXPECT_EQ(f.visited(), 7);
    EXPECT_EQ(f.unreadable(), 0);
    EXPECT_EQ(reports, 1);
    const ScanNode* sub = child(f.root(), "sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->logicalSize(), 1'000'000);
    EXPECT_EQ(f.root()->logicalSize(), 1'003'000);
    EXPECT_EQ(f.root()->name(), Path::lastComponent(t.path()));
    EXPECT_EQ(f.root()->url(), t.path());
    EXPECT_EQ(f.files().size(), 6u);
    EXPECT_TRUE(f.context().complete);
    EXPECT_GT(f.context().volumeCapacity, 0);
    // The root's date is the moment the scan started.
    EXPECT_LT(Date::now().secondsSince(f.root()->modified()), 60);
}

TEST(DirectoryWalker, StopEndsPromptlyWithWhatWasGathered) {
    std::atomic<int> listed{0};
    std::stop_source source;
    DirectoryWalker::Options options;
    // An endless tree: every folder holds two more.
    options.lister = [&](const std::string& dir) {
        if (++listed == 50) source.request_stop();
        DirectoryListing l;
        for (const char* name : {"x", "y"})
            l.entries.push_back({.url = dir + "/" + name, .name = name, .isDirectory = true});
        return l;
    };
    ScanForest f = DirectoryWalker::walk(
        "/endless", [](const WalkProgress&) {}, source.get_token(), options);
    EXPECT_LE(listed.load(), 60);
    EXPECT_GE(f.visited(), 2);
    EXPECT_LE(f.visited(), 2 * 60);
}

// Only a scan's root may be reached through a symbolic link; below it a link
// is an entry of its own and a folder that turned into one is not followed.
TEST(DirectoryWalker, FollowsALinkOnlyAtTheRootAndTakesWorkersByTheStorage) {
    TempDir t;
    putSized(t / "real/inner/data", 5000);
    ASSERT_EQ(::symlink((t / "real").c_str(), (t / "alias").c_str()), 0);

    ScanForest viaLink = DirectoryWalker::walk(t / "alias", [](const WalkProgress&) {});
    EXPECT_EQ(viaLink.unreadable(), 0);
    EXPECT_EQ(viaLink.visited(), 2);
    EXPECT_EQ(viaLink.root()->logicalSize(), 5000);

    platform::DirectoryReader reader;
    const auto root = VolumeID::of(t.path());
    EXPECT_NE(reader.readBulk(t / "alias", root), 0);
    EXPECT_NE(reader.readPortable(t / "alias", root), 0);
    EXPECT_EQ(reader.readBulk(t / "alias", root, platform::DirectoryReader::Link::follow), 0);
    EXPECT_EQ(reader.entries().size(), 1u);
    using platform::StorageKind;
    // A disk head or a network round trip serialises the reads: more
    // workers than a few only queue up there.
    const int solid = DirectoryWalker::workerCount(StorageKind::unknown);
    for (StorageKind slow : {StorageKind::rotational, StorageKind::network}) {
        EXPECT_GE(DirectoryWalker::workerCount(slow), 1);
        EXPECT_LT(DirectoryWalker::workerCount(slow), solid);
    }
    // Memory is no block device.
    EXPECT_EQ(platform::storageKind("/dev/shm"), StorageKind::unknown);
    EXPECT_EQ(platform::storageKind("/no/such/path"), StorageKind::unknown);
}

// The walk reaches every folder by name from its open parent: it scans
// paths of any length, never follows a link swapped in above a folder, and
// counts a folder it may read but not search as unreadable.

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

TEST(ExcludeRules, GlobsMatchNamesClassesAndFoldersAndRulesAnchorPathsAndSnapshots) {
    struct Case {
        const char* pattern;
        const char* text;
        bool matches;
    } cases[] = {
        {"*.iso", "disk.iso", true},
        {"*.iso", "disk.iso.part", false},
        {"*.iso", "a/disk.iso", false}, // "*" stays within a name
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"[a-c]x", "bx", true},
        {"[!a-c]x", "bx", false},
        {"[]]", "]", true},
        {"**/.git", ".git", true},
        {"**/.git", "a/b/.git", true},
        {"**/.git", "a/b.git", false},
        {"a/**", "a/b/c", true},
        {"a/**/z", "a/z", true},
        {"a/**/z", "a/b/c/z", true},
        {"\\*", "*", true},
        {"\\*", "x", false},
        {"[unclosed", "[unclosed", true},
        {"", "", true},
        {"", "x", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(globMatches(c.pattern, c.text), c.matches) << c.pattern << " on " << c.text;
    }
    // Rules: names, anchored paths and snapshots.
    const ExcludeRules rules({"node_modules", " *.iso ", "/proc", "**/.git", "build/", "",
                              "/.snapshots", "timeshift-btrfs/snapshots", "docs/old", "log\\?"});
    EXPECT_EQ(rules.patterns().size(), 9u); // the blank one is dropped
    using K = LeftOutKind;
    struct Row {
        const char* relative;
        bool isDirectory;
        K kind;
    } rows[] = {
        {"node_modules", true, K::excluded},
        {"src/web/node_modules", true, K::excluded},
        {"node_modules2", true, K::none},
        {"x/disk.iso", false, K::excluded},
        {"proc", true, K::excluded},
        {"x/proc", true, K::none}, // anchored at the root
        {"repo/.git", true, K::excluded},
        {".git", true, K::excluded},
        {"build", true, K::excluded},
        {"build", false, K::none}, // a trailing slash means folders only
        {".snapshots", true, K::snapshots},
        {"home/.snapshots", true, K::none},
        {"run/timeshift/backup/timeshift-btrfs/snapshots", true, K::snapshots},
        {"timeshift-btrfs/snapshots", true, K::snapshots},
        {"docs/old", true, K::excluded},
        {"a/docs/old", true, K::excluded}, // a path without a leading slash matches its end
        {"docs/older", true, K::none},
        {"x/log?", false, K::excluded}, // a quoted wildcard is no plain name
        {"x/logs", false, K::none},
        {"", true, K::none}, // never the root
    };
    for (const Row& c : rows) {
        EXPECT_EQ(rules.match(c.relative, c.isDirectory), c.kind) << c.relative;
    }
    EXPECT_EQ(ExcludeRules({"/"}).patterns().size(), 0u);
    for (const std::string& p : ExcludeRules::snapshotPatterns())
        EXPECT_TRUE(ExcludeRules::isSnapshotPattern(p)) << p;
}

// Every path below `root` that find prints with these prune expressions.
std::set<std::string> findPaths(const std::string& root, const std::string& prune) {
    const std::string cmd = "find '" + root + "' -mindepth 1 " + prune + " -print 2>/dev/null";
    std::set<std::string> out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char line[4096];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        out.insert(s);
    }
    ::pclose(p);
    return out;
}

// Every walked path, and the left-out ones with their kind.
struct Walked {
    std::set<std::string> walked;
    std::map<std::string, LeftOutKind> leftOut;
};
Walked walkedPaths(const ScanForest& f) {
    Walked w;
    for (const ScanNode* n : f.nodes()) {
        if (n == f.root()) continue;
        // A left-out item is listed, so find prints it before pruning.
        w.walked.insert(n->path());
        if (n->leftOut() != LeftOutKind::none) w.leftOut[n->path()] = n->leftOut();
    }
    return w;
}

TEST(DirectoryWalker, LeavesOutWhatFindPrunes) {
    TempDir t;
    for (const char* f :
         {"a.txt", "disk.iso", "web/node_modules/lib/x.js", "web/app.js", "proc/1/status",
          "deep/proc/keep", "repo/.git/HEAD", "repo/main.c", ".snapshots/1/snapshot/big",
          "vol/timeshift-btrfs/snapshots/d/big", "vol/data"}) {
        put(t / f, "0123456789");
    }
    // Rules leave the links counted once.
    ASSERT_EQ(::link((t / "a.txt").c_str(), (t / "web/again.txt").c_str()), 0);
    DirectoryWalker::Options options;
    options.exclude = ExcludeRules(
        {"node_modules", "*.iso", "/proc", "**/.git", "/.snapshots", "timeshift-btrfs/snapshots"});
    const ScanForest f = DirectoryWalker::walk(
        t.path(), [](const WalkProgress&) {}, {}, options);
    const std::string r = t.path();
    const std::set<std::string> expected = findPaths(
        r, "\\( -name node_modules -o -name '*.iso' -o -path '" + r +
               "/proc' -o -path '*/.git' -o "
               "-path '" +
               r + "/.snapshots' -o -path '*/timeshift-btrfs/snapshots' \\) -print -prune -o");
    const Walked w = walkedPaths(f);
    EXPECT_EQ(w.walked, expected);
    const std::map<std::string, LeftOutKind> leftOut{
        {r + "/disk.iso", LeftOutKind::excluded},
        {r + "/web/node_modules", LeftOutKind::excluded},
        {r + "/proc", LeftOutKind::excluded},
        {r + "/repo/.git", LeftOutKind::excluded},
        {r + "/.snapshots", LeftOutKind::snapshots},
        {r + "/vol/timeshift-btrfs/snapshots", LeftOutKind::snapshots}};
    EXPECT_EQ(w.leftOut, leftOut);

    // Nothing left out is counted: the total is that of the files find keeps.
    std::int64_t kept = 0;
    for (const ScanNode* n : f.files())
        if (n->leftOut() == LeftOutKind::none) kept += n->allocatedSize();
    EXPECT_EQ(f.root()->allocatedSize(), kept);
    EXPECT_TRUE(findNode(f, r + "/web/again.txt")->countedElsewhere());
    EXPECT_EQ(findNode(f, r + "/disk.iso")->allocatedSize(), 0);
    EXPECT_TRUE(findNode(f, r + "/.snapshots")->children().empty());

    // The context lists them, with the patterns.
    EXPECT_EQ(f.context().leftOutCount, 6);
    EXPECT_EQ(f.context().leftOut.size(), 6u);
    EXPECT_EQ(f.context().excludePatterns, options.exclude.patterns());
    // Without rules nothing is left out and the context says nothing.
    const ScanForest all = DirectoryWalker::walk(t.path(), [](const WalkProgress&) {});
    EXPECT_EQ(walkedPaths(all).walked, findPaths(r, ""));
    EXPECT_EQ(all.context().leftOutCount, 0);
}

// A tmpfs mounted inside the root, in a child's own mount namespace; the
// child reports what each walk saw against find with and without -xdev.
TEST(DirectoryWalker, CrossesMountsOnlyWhenAsked) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    TempDir t;
    put(t / "top", "1");
    makeDirs(t / "mnt");
    const std::string r = t.path();
    const std::string outcome = inChild([&]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return "no mount namespace";
        }
        if (::mount("tarnbeck-test", (r + "/mnt").c_str(), "tmpfs", 0, "size=1m") != 0) {
            return "no tmpfs";
        }
        put(r + "/mnt/inside/deep", "hidden");
        std::string out;
        const auto check = [&](const char* what, const DirectoryWalker::Options& o,
                               const std::string& prune, LeftOutKind mnt) {
            const ScanForest f = DirectoryWalker::walk(
                r, [](const WalkProgress&) {}, {}, o);
            const Walked w = walkedPaths(f);
            if (w.walked != findPaths(r, prune)) out += std::string(what) + ": paths differ\n";
            const ScanNode* m = findNode(f, r + "/mnt");
            if (!m || m->leftOut() != mnt) out += std::string(what) + ": mount row\n";
        };
        DirectoryWalker::Options stay;
        check("default", stay, "-xdev", LeftOutKind::mount);
        DirectoryWalker::Options cross;
        cross.crossMounts = true;
        check("cross", cross, "", LeftOutKind::none);
        DirectoryWalker::Options here;
        here.enterMounts = {r + "/mnt"};
        check("here", here, "", LeftOutKind::none);
        return out.empty() ? "ok" : out;
    });
    if (outcome == "no mount namespace" || outcome == "no tmpfs") GTEST_SKIP() << outcome;
    EXPECT_EQ(outcome, "ok");
}

// A stored context names the left-out items; a reopened tree marks them.
TEST(ScanForest, MarksStoredLeftOutItems) {
    TreeBuilder b("/r");
    b.file("/r/a.iso", 0);
    b.dir("/r/.snapshots");
    b.file("/r/keep", 10);
    ScanContext c = testContext("/r");
    c.leftOut = {{"/r/a.iso", LeftOutKind::excluded},
                 {"/r/.snapshots", LeftOutKind::snapshots},
                 {"/r/missing", LeftOutKind::mount},
                 {"/elsewhere", LeftOutKind::excluded}};
    const ScanForest f(b.tree(), 0, 3, c);
    EXPECT_EQ(findNode(f, "/r/a.iso")->leftOut(), LeftOutKind::excluded);
    EXPECT_EQ(findNode(f, "/r/.snapshots")->leftOut(), LeftOutKind::snapshots);
    EXPECT_EQ(findNode(f, "/r/keep")->leftOut(), LeftOutKind::none);
    EXPECT_EQ(f.context().leftOut.size(), 4u); // kept as stored
}

} // namespace
} // namespace tb
