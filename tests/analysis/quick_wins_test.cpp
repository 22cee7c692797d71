#include "analysis/quick_wins.h"

#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include <gtest/gtest.h>

#include "analysis/ghost_catalog.h"
#include "analysis/path_size.h"
#include "support/disk_fakes.h"
#include "support/tree_builder.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

using test::TempDir;
using test::TreeBuilder;

std::int64_t allocatedOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

TEST(QuickWins, MeasuresLocationsAndSortsLargestFirst) {
    TempDir home;
    EXPECT_TRUE(QuickWins::discover(home.path()).empty());
    test::putSized(home / ".npm/_cacache/a", 3'000'000);
    test::putSized(home / "Library/Caches/x/b", 2'000'000);
    test::putSized(home / ".cache/huggingface/hub/d", 6'000'000);
    const auto wins = QuickWins::discover(home.path());
    ASSERT_EQ(wins.size(), 4u);
    EXPECT_EQ(wins[0], (QuickWin{"hf", "Hugging Face hub", "Cached model files.",
                                 home / ".cache/huggingface/hub",
                                 allocatedOf(home / ".cache/huggingface/hub/d")}));
    EXPECT_EQ(wins[1].id, "cache"); // the whole cache folder: equal size, later in the catalog
    EXPECT_EQ(wins[1].bytes, wins[0].bytes);
    EXPECT_EQ(wins[2].id, "npm");
    EXPECT_EQ(wins[3].id, "caches");
    // Folders count as items but add nothing.
    EXPECT_EQ(wins[3].bytes, allocatedOf(home / "Library/Caches/x/b"));
}

TEST(QuickWins, DockerRawReportsAllocatedNotLogicalBytes) {
    TempDir home;
    const std::string raw =
        home / "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw";
    test::putSized(raw, 2'000'000);
    ASSERT_EQ(::truncate(raw.c_str(), 64'000'000'000), 0); // sparse tail
    const auto wins = QuickWins::discover(home.path());
    ASSERT_EQ(wins.size(), 1u);
    EXPECT_EQ(wins[0].id, "docker");
    EXPECT_EQ(wins[0].bytes, allocatedOf(raw));
    EXPECT_LT(wins[0].bytes, 3'000'000);
}

TEST(QuickWins, NodeModulesAboveFiveMillionFirstTwelveInOrder) {
    TreeBuilder t("/r");
    t.file("/r/package.json", 10);
    t.dir("/r/node_modules", 5'000'000);
    t.dir("/r/Node_Modules", 9'000'000);
    t.file("/r/node_modules", 9'000'000);       // a file of that name
    t.dir("/r/global/node_modules", 9'000'000); // no package.json beside it
    for (int i = 0; i < 13; ++i) {
        const std::string project = "/r/p" + std::to_string(i);
        t.file(project + "/package.json", 10);
        t.dir(project + "/node_modules", 5'000'001 + i);
    }
    const auto wins = QuickWins::nodeModules(t.nodes());
    ASSERT_EQ(wins.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        const std::string path = "/r/p" + std::to_string(i) + "/node_modules";
        EXPECT_EQ(wins[i], (QuickWin{path, "node_modules",
                                     "Dependencies. Reinstall with the project package manager.",
                                     path, 5'000'001 + i}));
    }
    // The subtree form sees the same nodes.
    EXPECT_EQ(QuickWins::nodeModules(*t.root()).size(), 12u);
}

TEST(QuickWins, NodeModulesSkipTrashesAndWhatGitTracks) {
    TreeBuilder t("/h");
    for (const char* project : {"/h/.local/share/Trash/files/p", "/mnt/usb/.Trash-1000/files/p",
                                "/h/src/vendored", "/h/src/app"}) {
        t.file(std::string(project) + "/package.json", 10);
        t.dir(std::string(project) + "/node_modules", 6'000'000);
    }
    test::FakeDisk disk;
    disk.workTrees["/h/src/vendored"] = std::vector<std::string>{"node_modules/x.js"};
    const auto wins = QuickWins::nodeModules(t.nodes(), HomePlaces::below("/h"), &disk);
    ASSERT_EQ(wins.size(), 1u);
    EXPECT_EQ(wins[0].url, "/h/src/app/node_modules");
    // Without a disk to ask, git is not consulted.
    EXPECT_EQ(QuickWins::nodeModules(t.nodes(), HomePlaces::below("/h")).size(), 2u);
}

TEST(QuickWins, RowsInsideAnotherFollowItAndCountOnce) {
    const auto win = [](const char* id, const char* url, std::int64_t bytes) {
        return QuickWin{id, id, "why", url, bytes};
    };
    const auto arranged = QuickWins::arrange({
        win("cache", "/h/.cache", 478),
        win("npm", "/h/.npm/_cacache", 300),
        win("go-build", "/h/.cache/go-build", 150),
        win("hf", "/h/.cache/huggingface/hub", 40),
        win("nm", "/h/p/node_modules", 51),
        win("nm", "/h/p/node_modules/", 51), // the same folder again
        win("inner", "/h/.cache/huggingface/hub/x", 5),
    });
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& w : arranged)
        rows.emplace_back(w.url, w.within);
    EXPECT_EQ(rows, (std::vector<std::pair<std::string, std::string>>{
                        {"/h/.cache", ""},
                        {"/h/.cache/go-build", "/h/.cache"},
                        {"/h/.cache/huggingface/hub", "/h/.cache"},
                        {"/h/.cache/huggingface/hub/x", "/h/.cache"},
                        {"/h/.npm/_cacache", ""},
                        {"/h/p/node_modules", ""}}));
    EXPECT_EQ(QuickWins::total(arranged), 478 + 300 + 51);
}

// A Trash or a cache of tens of thousands of files is measured whole: a sum
// cut at some count would be shown as its size all the same.
TEST(PathSize, MeasuresEveryEntryUnlessGivenACap) {
    TempDir dir;
    const std::string caches = dir / "Caches";
    test::makeDirs(caches);
    for (int i = 0; i < 20001; ++i)
        test::writeFile(caches + "/f" + std::to_string(i), "x");
    const std::int64_t each = allocatedOf(caches + "/f0");
    ASSERT_GT(each, 0);
    EXPECT_EQ(PathSize::allocated(caches), 20001 * each);
    EXPECT_EQ(PathSize::allocated(caches, 20000), 20000 * each);
}

TEST(PathSize, FilesHiddenItemsLinksMissingPathsAndStops) {
    TempDir dir;
    // Folders count towards the cap; hidden items are measured.
    test::put(dir / "top/.hidden/a", "a");
    const std::int64_t each = allocatedOf(dir / "top/.hidden/a");
    EXPECT_EQ(PathSize::allocated(dir / "top", 1), 0); // the folder alone
    EXPECT_EQ(PathSize::allocated(dir / "top", 2), each);
    // Links below the probed folder are not followed.
    test::putSized(dir / "big/data", 3'000'000);
    test::makeDirs(dir / "probe");
    ASSERT_EQ(::symlink((dir / "big").c_str(), (dir / "probe/link").c_str()), 0);
    EXPECT_LT(PathSize::allocated(dir / "probe"), 100'000);

    test::putSized(dir / "f", 10'000);
    EXPECT_EQ(PathSize::allocated(dir / "f"), allocatedOf(dir / "f"));
    EXPECT_EQ(PathSize::allocated(dir / "missing"), 0);
    test::putSized(dir / "d/f", 10'000);
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_EQ(PathSize::allocated(dir / "d", PathSize::defaultCap, stopped.get_token()), 0);
}

TEST(PathSize, IndexedPathsAreNotProbed) {
    TempDir dir;
    test::putSized(dir / "real", 100'000);
    TreeBuilder t(dir.path());
    t.file(dir / "real", 7);
    t.file(dir / "gone", 9); // scanned, no longer on disk
    const PathSizeIndex index = PathSize::indexMap(t.nodes());
    EXPECT_EQ(PathSize::allocated(dir / "real", index), 7);
    EXPECT_EQ(PathSize::allocated(dir / "gone", index), 9);
    EXPECT_EQ(PathSize::allocated(dir / "other", index), 0);
    EXPECT_EQ(PathSize::allocated(dir / "real", t.root()), 7);
    EXPECT_EQ(PathSize::allocated(dir / "real", static_cast<const ScanNode*>(nullptr)),
              allocatedOf(dir / "real"));
    EXPECT_EQ(PathSize::indexMap(t.root()).size(), 3u);
    EXPECT_TRUE(PathSize::indexMap(static_cast<const ScanNode*>(nullptr)).empty());
}

TEST(QuickWins, MinimumSizesAreInclusive) {
    test::TempDir home;
    for (const auto& g : GhostCatalog::known)
        test::makeDirs(home / std::string(g.relativePath));
    const std::map<std::string, std::int64_t> sizes = {{"ollama", 4'999'999},  {"hf", 5'000'000},
                                                       {"npm", 1'000'000},     {"caches", 999'999},
                                                       {"derived", 1'000'000}, {"docker", 0}};
    const auto wins = QuickWins::discover(home.path(), [&](const std::string& path) {
        for (const auto& g : GhostCatalog::known) {
            if (path == home / std::string(g.relativePath)) {
                auto it = sizes.find(std::string(g.id));
                return it == sizes.end() ? std::int64_t{0} : it->second;
            }
        }
        return std::int64_t{-1};
    });
    std::vector<std::string> ids;
    for (const auto& w : wins)
        ids.push_back(w.id);
    // Equal sizes keep catalog order.
    EXPECT_EQ(ids, (std::vector<std::string>{"hf", "derived", "npm"}));
}

} // namespace
} // namespace tb
