#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <utility>

#include "scan/directory_walker.h"
#include "scan/hard_links.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using namespace tb::test;

struct Sums {
    std::int64_t logical = 0;
    std::int64_t allocated = 0;
    bool operator==(const Sums&) const = default;
};

// What du adds up below `root`: each file once per (device, inode), or once
// per name; folders' own blocks left out, as the walk leaves them.
Sums diskSums(const std::string& root, bool everyName) {
    Sums s;
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        struct stat st {};
        if (::lstat(e.path().c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        if (!everyName && !seen.insert({st.st_dev, st.st_ino}).second) continue;
        s.logical += st.st_size;
        s.allocated += std::int64_t(st.st_blocks) * 512;
    }
    return s;
}

Sums sums(const ScanNode* n) {
    return {n->logicalSize(), n->allocatedSize()};
}

void hardLink(const std::string& from, const std::string& to) {
    ASSERT_EQ(::link(from.c_str(), to.c_str()), 0) << to;
}

// Links inside one folder, across folders, three names of one file, and a
// name outside the scanned folder.
struct LinkedTree {
    TempDir t;
    std::string root = t / "root";
    LinkedTree() {
        putSized(root + "/a/big", 1'000'000, 1);
        hardLink(root + "/a/big", root + "/a/big-again");
        putSized(root + "/b/shared", 300'000, 2);
        makeDirs(root + "/c/d");
        hardLink(root + "/b/shared", root + "/a/shared");
        hardLink(root + "/b/shared", root + "/c/d/shared");
        putSized(root + "/c/plain", 50'000, 3);
        putSized(root + "/c/out", 70'000, 4);
        hardLink(root + "/c/out", t / "outside");
    }
};

ScanForest walk(const std::string& root, HardLinkMode mode, int workers = 0) {
    DirectoryWalker::Options options;
    options.hardLinks = mode;
    options.workers = workers;
    return DirectoryWalker::walk(
        root, [](const WalkProgress&) {}, {}, options);
}

TEST(HardLinks, OnceCountsEachInodeByTheNameThatSortsFirstAndEveryCountsEachName) {
    LinkedTree tree;
    for (auto [mode, everyName] :
         {std::pair(HardLinkMode::once, false), std::pair(HardLinkMode::every, true)}) {
        SCOPED_TRACE(std::string(rawValue(mode)));
        const ScanForest f = walk(tree.root, mode);
        EXPECT_EQ(sums(f.root()), diskSums(tree.root, everyName));
        EXPECT_EQ(f.context().hardLinks, mode);
        EXPECT_EQ(f.links().fileCount(), 3u);
        EXPECT_EQ(f.files().size(), 7u);
    }
    // Counted once, the name that sorts first carries the file.
    const ScanForest f = walk(tree.root, HardLinkMode::once);
    const ScanNode* first = findNode(f, tree.root + "/a/shared");
    const ScanNode* other = findNode(f, tree.root + "/c/d/shared");
    ASSERT_TRUE(first && other);
    EXPECT_GT(first->allocatedSize(), 0);
    EXPECT_FALSE(first->countedElsewhere());
    EXPECT_TRUE(other->countedElsewhere());
    EXPECT_TRUE(other->hasOtherNames());
    EXPECT_EQ(sums(other), Sums{});
    // Its folders leave it out, up to the root.
    EXPECT_EQ(sums(findNode(f, tree.root + "/c/d")), Sums{});

    const HardLinks::File* file = f.links().file(other);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->logicalSize, 300'000);
    EXPECT_EQ(file->linkCount, 3u);
    const auto names = f.links().names(*file);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], first);
    EXPECT_EQ(names[1]->path(), tree.root + "/b/shared");
    EXPECT_EQ(names[2], other);
    // A single name has no entry.
    EXPECT_EQ(f.links().file(findNode(f, tree.root + "/c/plain")), nullptr);
    // A name whose twin lies outside the scan is counted here, and known.
    const ScanNode* out = findNode(f, tree.root + "/c/out");
    EXPECT_EQ(out->logicalSize(), 70'000);
    EXPECT_EQ(f.links().file(out)->linkCount, 2u);
}

// A listing that answers late and at random, so that workers list the
// folders in another order on every run.
DirectoryListing slowListing(const std::string& dir, std::mt19937& random, std::mutex& m) {
    unsigned pause;
    {
        std::lock_guard lock(m);
        pause = random() % 300;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(pause));
    DirectoryListing l;
    const int depth = int(std::count(dir.begin(), dir.end(), '/'));
    for (int i = 0; depth < 4 && i < 4; ++i) {
        const std::string name = "d" + std::to_string(i);
        l.entries.push_back(
            {.url = dir + "/" + name, .name = name, .isDirectory = true, .device = 7});
    }
    // The same eight files in every folder: each listed name is a link.
    for (int i = 0; i < 8; ++i) {
        const std::string name = "f" + std::to_string(i);
        l.entries.push_back({.url = dir + "/" + name,
                             .name = name,
                             .inode = 100 + std::uint64_t(i),
                             .logicalSize = 4096 * (i + 1),
                             .allocatedSize = 4096 * (i + 1),
                             .linkCount = 400,
                             .device = 7});
    }
    return l;
}

std::map<std::string, std::int64_t> folderTotals(const ScanForest& f) {
    std::map<std::string, std::int64_t> out;
    for (const ScanNode* n : f.nodes())
        out[n->path()] = n->allocatedSize();
    return out;
}

TEST(HardLinks, SameTreeGivesSameTotalsWhateverTheWorkersDo) {
    std::mt19937 random(42);
    std::mutex m;
    std::map<std::string, std::int64_t> first;
    for (int workers : {1, 8, 3, 8}) {
        DirectoryWalker::Options options;
        options.workers = workers;
        options.lister = [&](const std::string& dir) { return slowListing(dir, random, m); };
        const ScanForest f = DirectoryWalker::walk(
            "/r", [](const WalkProgress&) {}, {}, options);
        const auto totals = folderTotals(f);
        // Eight distinct files: 4096 * (1 + ... + 8).
        EXPECT_EQ(f.root()->allocatedSize(), 4096 * 36);
        if (first.empty()) {
            first = totals;
        } else {
            EXPECT_EQ(totals, first) << workers << " workers";
        }
        // Of all names of f3, the one first in byte order carries it.
        std::string counted;
        for (const ScanNode* n : f.files()) {
            if (n->name() == "f3" && n->allocatedSize() > 0) counted = n->path();
        }
        EXPECT_EQ(counted, "/r/d0/d0/d0/f3");
    }
}

// A stored tree: the sizes stand as written, the files with several names
// are found by inode and date.
TEST(HardLinks, StoredTreeIsRecognisedWithoutChangingItsTotalsAndFreedByNeedsEveryName) {
    const Date when = Date::fromUnix(1'650'000'000, 5);
    struct Case {
        HardLinkMode mode;
        std::int64_t secondNameBytes;
        std::size_t files;
    };
    const Case cases[] = {
        {HardLinkMode::once, 0, 1},
        {HardLinkMode::every, 500, 1},
        // Counted once, yet the second name holds bytes: two files that
        // happen to share an inode and a date (two subvolumes).
        {HardLinkMode::once, 500, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(rawValue(c.mode)) + " " + std::to_string(c.secondNameBytes));
        TreeBuilder b("/s");
        b.file("/s/x/one",
               {.logicalSize = 500, .allocatedSize = 500, .inode = 9, .modified = when});
        b.file("/s/y/two", {.logicalSize = c.secondNameBytes,
                            .allocatedSize = c.secondNameBytes,
                            .inode = 9,
                            .modified = when});
        b.file("/s/y/date", {.logicalSize = 1, .allocatedSize = 1, .inode = 9});
        b.rollUp();
        const std::int64_t before = b.root()->allocatedSize();
        auto context = testContext("/s");
        context.hardLinks = c.mode;
        const ScanForest f = b.forest(context);
        EXPECT_EQ(f.root()->allocatedSize(), before);
        EXPECT_EQ(f.links().fileCount(), c.files);
        const ScanNode* two = findNode(f, "/s/y/two");
        EXPECT_EQ(two->countedElsewhere(), c.files == 1 && c.mode == HardLinkMode::once);
        EXPECT_EQ(f.links().file(findNode(f, "/s/y/date")), nullptr);
    }
    // Files: a (600, names /t/p/a and /t/q/a), b (100, names /t/p/b1 and
    // /t/p/b2), c (50, one name here and one outside), d (10, single name).
    for (HardLinkMode mode : {HardLinkMode::once, HardLinkMode::every}) {
        SCOPED_TRACE(std::string(rawValue(mode)));
        TreeBuilder b("/t");
        std::vector<LinkedName> names;
        auto linked = [&](const std::string& path, std::int64_t bytes, std::uint64_t inode,
                          std::uint32_t count) {
            names.push_back(
                {b.file(path, {.logicalSize = bytes, .allocatedSize = bytes, .inode = inode}), 1,
                 count});
        };
        linked("/t/p/a", 600, 1, 2);
        linked("/t/q/a", 600, 1, 2);
        linked("/t/p/b1", 100, 2, 2);
        linked("/t/p/b2", 100, 2, 2);
        linked("/t/q/c", 50, 3, 2);
        b.file("/t/q/d", 10);
        b.rollUp();
        const ScanForest f(b.tree(), 0, 0, testContext("/t"), ScanForest::WalkedLinks{names, mode});
        auto at = [&](const std::string& p) { return findNode(f, p); };
        struct Row {
            std::vector<std::string> items;
            std::int64_t freed;
        };
        const Row rows[] = {
            {{"/t"}, 710},           // c has a name outside the scan
            {{"/t/p"}, 100},         // b only: a has a name in q
            {{"/t/q"}, 10},          // d only
            {{"/t/p", "/t/q"}, 710}, // a's two names together
            {{"/t/p/b1"}, 0},        // one name of two
            {{"/t/p/b1", "/t/p/b2"}, 100},
            {{"/t/q/d"}, 10},
        };
        for (const Row& r : rows) {
            std::vector<const ScanNode*> items;
            for (const auto& p : r.items)
                items.push_back(at(p));
            EXPECT_EQ(f.links().freedBy(items), r.freed)
                << r.items.front() << " +" << r.items.size() - 1;
        }
        EXPECT_EQ(f.freedBy(at("/t/p")), 100);
        const std::int64_t rootTotal = mode == HardLinkMode::once ? 760 : 1460;
        EXPECT_EQ(f.root()->allocatedSize(), rootTotal);
    }
}

} // namespace
} // namespace tb
