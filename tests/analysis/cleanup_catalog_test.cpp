#include "analysis/cleanup_catalog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <sstream>
#include <utility>

#include "analysis/ghost_catalog.h"
#include "analysis/path_size.h"
#include "analysis/quick_wins.h"
#include "support/disk_fakes.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::cargoTag;
using test::elfCore;
using test::elfProgram;
using test::FakeDisk;
using test::TempDir;
using test::TreeBuilder;

struct EvidenceCase {
    const char* label;
    const char* files;  // below /r, by spaces; the first one 2 MB, the rest 10 bytes
    const char* folder; // the node expected or refused
    const char* owner;  // "" when nothing may be offered
    CleanupRisk risk = CleanupRisk::review;
    const char* evidence = "";   // a part of the evidence text
    const char* reason = "";     // a part of the reason text
    const char* regenerate = ""; // a part of the text, or "-" for none
};

TEST(CleanupCatalog, EveryRowHasEvidenceAndSaysHowItComesBack) {
    const EvidenceCase cases[] = {
        {"insurance papers", "d/coverage/policy.pdf d/claims.pdf", "d/coverage", ""},
        {"coverage without tests", "d/coverage/lcov.info", "d/coverage", ""},
        {"coverage of a test run", "p/coverage/lcov.info p/jest.config.js", "p/coverage",
         "Developer project", CleanupRisk::review, "lcov.info", "", "Running the tests"},
        {"pycache with sources", "p/__pycache__/m.pyc p/__pycache__/keep.py", "p/__pycache__", ""},
        {"swift without manifest", "p/.build/debug/app", "p/.build", ""},
        {"swift package", "p/.build/debug/app p/Package.swift", "p/.build", "Developer project",
         CleanupRisk::review, "Package.swift", "", "`swift build`"},
        {"DerivedData alone", "p/DerivedData/x", "p/DerivedData", ""},
        {"DerivedData of Xcode", "p/DerivedData/ModuleCache.noindex/x", "p/DerivedData",
         "Developer project", CleanupRisk::review, "ModuleCache.noindex", "", "Xcode rebuilds"},
        {"node_modules alone", "p/node_modules/x.js", "p/node_modules", ""},
        {"node_modules locked", "p/node_modules/x.js p/package.json p/package-lock.json",
         "p/node_modules", "Developer project", CleanupRisk::review, "package-lock.json", "",
         "`npm ci` reinstalls it from package-lock.json."},
        {"CMake tree of any name", "p/cmake-build-debug/obj.o p/cmake-build-debug/CMakeCache.txt",
         "p/cmake-build-debug", "CMake", CleanupRisk::review, "/r/p.", "", "CMake regenerates"},
        {"CMake in its sources", "p/obj.o p/CMakeCache.txt p/CMakeLists.txt", "p", ""},
        {"CMake cache of itself", "q/obj.o q/CMakeCache.txt", "q", ""},
        {"tagged cache", "odd/place/blob odd/place/CACHEDIR.TAG", "odd/place", "Tagged cache",
         CleanupRisk::safe, "\"# This file is a cache directory tag created by cargo.\"", "",
         "rebuilds it"},
        {"unsigned tag", "odd/fake/blob odd/fake/CACHEDIR.TAG", "odd/fake", ""},
        {"venv named env",
         "s/env/lib/python3.11/site-packages/pkg/__init__.py s/env/pyvenv.cfg "
         "s/env/lib/python3.11/site-packages/pkg-1.0.dist-info/RECORD s/requirements.txt",
         "s/env", "Python virtual environment", CleanupRisk::safe, "requirements.txt", "",
         "`pip install -r requirements.txt`"},
        {"venv without requirements",
         "v/venv/lib/python3.11/site-packages/pkg/__init__.py v/venv/pyvenv.cfg "
         "v/venv/lib/python3.11/site-packages/pkg-1.0.dist-info/RECORD",
         "v/venv", "Python virtual environment", CleanupRisk::review, "pyvenv.cfg",
         "No requirements file", "-"},
        {"venv with a module of its own",
         "w/.venv/lib/python3.11/site-packages/mymod.py w/.venv/pyvenv.cfg "
         "w/.venv/lib/python3.11/site-packages/pkg/__init__.py "
         "w/.venv/lib/python3.11/site-packages/pkg-1.0.dist-info/RECORD w/pyproject.toml",
         "w/.venv", "Python virtual environment", CleanupRisk::review, "pyproject.toml",
         "lists: mymod.py", "do not come back"},
        {"venv with an edited module",
         "x/.venv/lib/python3.11/site-packages/pkg/__init__.py x/.venv/pyvenv.cfg "
         "x/.venv/lib/python3.11/site-packages/pkg-1.0.dist-info/RECORD x/setup.py",
         "x/.venv", "Python virtual environment", CleanupRisk::review, "setup.py",
         "installed: pkg/__init__.py", "do not come back"},
        {"core dump", "crash/core.4242", "crash/core.4242", "Core dump", CleanupRisk::review,
         "ELF core header", "", "-"},
        {"program named core", "bin/core", "bin/core", ""},
        {"session log", "home/.xsession-errors", "home/.xsession-errors", "Log file",
         CleanupRisk::review, "error log", "", "next login"},
        {"small log", "home/app.log", "home/app.log", ""},
        {"log outside the home", "srv/.xsession-errors", "srv/.xsession-errors", ""},
        {"Flatpak app cache", "home/.var/app/org.example.App/cache/blob",
         "home/.var/app/org.example.App/cache", "org.example.App", CleanupRisk::review,
         "Flatpak sandbox", "", "fills it again"},
        {"snap cache", "home/snap/tool/common/.cache/blob", "home/snap/tool/common/.cache", "tool",
         CleanupRisk::review, "snap tool", "", "fills it again"},
        {"Flatpak app data", "home/.var/app/org.example.App/data/blob",
         "home/.var/app/org.example.App/data", ""},
        {"project in the Trash",
         "home/.local/share/Trash/files/p/node_modules/x "
         "home/.local/share/Trash/files/p/package.json",
         "home/.local/share/Trash/files/p/node_modules", ""},
    };
    for (const auto& c : cases) {
        TreeBuilder t("/r");
        FakeDisk disk;
        std::istringstream files(c.files);
        bool first = true;
        for (std::string f; files >> f;)
            t.file("/r/" + f, std::exchange(first, false) ? 2'000'000 : 10);
        disk.heads["/r/crash/core.4242"] = elfCore;
        disk.heads["/r/bin/core"] = elfProgram;
        disk.heads["/r/odd/place/CACHEDIR.TAG"] = cargoTag;
        disk.heads["/r/odd/fake/CACHEDIR.TAG"] = "Signature: 0000\n";
        disk.heads["/r/p/cmake-build-debug/CMakeCache.txt"] =
            "# cache\nCMAKE_HOME_DIRECTORY:INTERNAL=/r/p\n";
        disk.heads["/r/q/CMakeCache.txt"] = "# cache\nCMAKE_HOME_DIRECTORY:INTERNAL=/r/q\n";
        for (const char* v : {"s/env", "v/venv", "w/.venv"}) {
            disk.heads["/r/" + std::string(v) +
                       "/lib/python3.11/site-packages/pkg-1.0.dist-info/RECORD"] =
                "pkg/__init__.py,sha256=abc,2000000\npkg-1.0.dist-info/RECORD,,\n";
        }
        disk.heads["/r/x/.venv/lib/python3.11/site-packages/pkg-1.0.dist-info/RECORD"] =
            "pkg/__init__.py,sha256=abc,1999\n";
        t.rollUp();
        const auto rows =
            CleanupCatalog::candidates(t.nodes(), HomePlaces::below("/r/home"), {}, disk);
        const std::string folder = "/r/" + std::string(c.folder);
        const auto it = std::find_if(rows.begin(), rows.end(),
                                     [&](const CleanupCandidate& r) { return r.id == folder; });
        if (!*c.owner) {
            EXPECT_TRUE(rows.empty()) << c.label << ": " << rows.front().id;
            continue;
        }
        ASSERT_NE(it, rows.end()) << c.label;
        EXPECT_EQ(rows.size(), 1u) << c.label;
        EXPECT_EQ(it->owner, c.owner) << c.label;
        EXPECT_EQ(it->risk, c.risk) << c.label;
        EXPECT_NE(it->evidence.find(c.evidence), std::string::npos)
            << c.label << ": " << it->evidence;
        EXPECT_NE(it->reason.find(c.reason), std::string::npos) << c.label << ": " << it->reason;
        const bool none = std::string(c.regenerate) == "-";
        EXPECT_TRUE(none ? it->regenerate.empty()
                         : it->regenerate.find(c.regenerate) != std::string::npos)
            << c.label << ": " << it->regenerate;
    }
}

TEST(CleanupCatalog, NothingGitTracksIsOfferedAndGitIsAskedOncePerWorkTree) {
    TreeBuilder t("/r");
    for (const char* p : {"repo/a", "repo/b", "repo/c", "plain", "unknown"}) {
        t.file("/r/" + std::string(p) + "/package.json", 10);
        t.file("/r/" + std::string(p) + "/node_modules/x.js", 2'000'000);
    }
    t.rollUp();
    FakeDisk disk;
    disk.workTrees["/r/repo"] =
        std::vector<std::string>{"a/node_modules/x.js", "b/package.json", "b/node_modules2/y.js"};
    disk.workTrees["/r/unknown"] = std::nullopt; // git missing or refusing: the markers decide
    std::vector<std::string> ids;
    for (const auto& c : CleanupCatalog::candidates(t.nodes(), {}, {}, disk))
        ids.push_back(c.id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"/r/plain/node_modules", "/r/repo/b/node_modules",
                                             "/r/repo/c/node_modules", "/r/unknown/node_modules"}));
    EXPECT_EQ(disk.gitRuns, 2);
}

TEST(CleanupEvidence, TagsCoreHeadersRecordsAndLists) {
    using namespace CleanupEvidence;
    EXPECT_EQ(cacheTagText(cargoTag), "# This file is a cache directory tag created by cargo.");
    EXPECT_EQ(cacheTagText(cacheTagSignature), "");
    EXPECT_FALSE(cacheTagText("Signature: 8a477f597d28d172789f06886806bc5"));
    EXPECT_FALSE(cacheTagText(" " + cargoTag));
    const auto long_ = cacheTagText(std::string(cacheTagSignature) + " " + std::string(300, 'x'));
    ASSERT_TRUE(long_);
    EXPECT_EQ(long_->size(), 203u); // 200 bytes and an ellipsis

    EXPECT_TRUE(isElfCore(elfCore));
    EXPECT_FALSE(isElfCore(elfProgram));
    EXPECT_FALSE(isElfCore(elfCore.substr(0, 17)));
    std::string bigEndian = elfCore;
    bigEndian[5] = 2;
    EXPECT_FALSE(isElfCore(bigEndian)); // type 0x0400
    std::swap(bigEndian[16], bigEndian[17]);
    EXPECT_TRUE(isElfCore(bigEndian));
    for (const char* name : {"core", "core.1", "app.core"})
        EXPECT_TRUE(hasCoreName(name)) << name;
    for (const char* name : {"core.", "core.x1", ".core", "cores", "core.py"})
        EXPECT_FALSE(hasCoreName(name)) << name;

    EXPECT_EQ(parseRecord("a/b.py,sha256=x,12\r\n\"c,\"\"d\"\".py\",,\n../../bin/t,sha256=y,\n\n"),
              (std::vector<RecordEntry>{{"a/b.py", 12}, {"c,\"d\".py", -1}, {"../../bin/t", -1}}));
    EXPECT_EQ(listed({"a"}), "a");
    EXPECT_EQ(listed({"a", "b", "c"}), "a, b and c");
    EXPECT_EQ(listed({"a", "b", "c", "d", "e"}), "a, b, c and 2 more");
}

TEST(CleanupCatalog, DescriptorRulesInOrder) {
    const auto descriptor = [](std::string_view path) {
        return CleanupCatalog::descriptor(path, path.substr(path.rfind('/') + 1));
    };
    const struct {
        const char* path;
        const char* owner;
        CleanupRisk risk;
    } cases[] = {
        {"/Users/a/Library/Developer/Xcode/DerivedData", "Xcode", CleanupRisk::safe},
        {"/h/.npm/_cacache", "Package manager", CleanupRisk::safe},
        {"/h/.cache/pnpm", "Package manager", CleanupRisk::safe},
        {"/h/.cache/yarn/v6", "Package manager", CleanupRisk::safe},
        {"/h/.ollama/models", "Local AI model", CleanupRisk::caution},
        {"/h/.cache/huggingface", "Local AI model", CleanupRisk::caution},
        {"/h/weights/model.GGUF", "Local AI model", CleanupRisk::caution},
        {"/h/Library/Caches/com.example", "Application cache", CleanupRisk::review},
        // Names alone decide nothing here: generated output needs evidence.
        {"/h/Library/Developer/Xcode/DerivedData/node_modules", "Xcode", CleanupRisk::safe},
        {"/h/Library/Caches/x/node_modules", "Application cache", CleanupRisk::review},
        {"/h/.ollama/models/coverage", "Local AI model", CleanupRisk::caution},
    };
    for (const auto& c : cases) {
        const auto d = descriptor(c.path);
        ASSERT_TRUE(d) << c.path;
        EXPECT_EQ(d->owner, c.owner) << c.path;
        EXPECT_EQ(d->risk, c.risk) << c.path;
    }
    // Generated output without evidence, and near misses.
    for (const char* path : {"/p/node_modules", "/p/DerivedData", "/p/coverage", "/p/__pycache__",
                             "/p/.build", "/h/Library/Caches", "/h/.cache/HuggingFace", "/h/.cache",
                             "/p/node_modules_old", "/p/my.gguf.bak", "/h/.ollama"})
        EXPECT_FALSE(descriptor(path)) << path;
}

TEST(CleanupCatalog, ListsFoldersStrictlyAboveOneMillionBytes) {
    TreeBuilder t("/r");
    EXPECT_TRUE(CleanupCatalog::candidates(t.nodes()).empty());
    t.dir("/r/x/__pycache__", 1'000'000);
    t.file("/r/x/__pycache__/m.cpython-311.pyc", 10);
    t.dir("/r/y/__pycache__", 1'000'001);
    t.file("/r/y/__pycache__/m.cpython-311.pyc", 10);
    t.file("/r/model.gguf", 50'000'000); // files are never candidates
    t.file("/r/node_modules", 50'000'000);
    const auto rows = CleanupCatalog::candidates(t.nodes());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].id, "/r/y/__pycache__");
    EXPECT_EQ(rows[0].url, rows[0].id);
    EXPECT_EQ(rows[0].title, "__pycache__");
    EXPECT_EQ(rows[0].bytes, 1'000'001);
    EXPECT_NE(rows[0].regenerate.find("Python compiles the modules again"), std::string::npos);
}

TEST(CleanupCatalog, KeepsOnlyTheOutermostOfNestedMatchesAndPutsFewerComponentsFirst) {
    TreeBuilder t("/r");
    t.file("/r/p/package.json", 10);
    t.dir("/r/p/node_modules", 9'000'000);
    t.file("/r/p/node_modules/a/package.json", 10);
    t.dir("/r/p/node_modules/a/node_modules", 5'000'000);
    // A cache folder holding compiled modules: the cache folder wins.
    t.dir("/r/h/Library/Caches/tool", 8'000'000);
    t.dir("/r/h/Library/Caches/tool/__pycache__", 8'000'000);
    t.file("/r/h/Library/Caches/tool/__pycache__/m.pyc", 10);
    // A sibling whose name extends a retained one is not inside it.
    t.file("/r/p/node_modules2/package.json", 10);
    t.dir("/r/p/node_modules2/node_modules", 2'000'000);
    // Equal sizes: fewer components first, then node order.
    t.dir("/r/deep/er/__pycache__", 3'000'000);
    t.file("/r/deep/er/__pycache__/m.pyc", 10);
    t.file("/r/b/package.json", 10);
    t.dir("/r/b/coverage", 3'000'000);
    t.file("/r/b/coverage/lcov.info", 10);
    t.dir("/r/a/__pycache__", 3'000'000);
    t.file("/r/a/__pycache__/m.pyc", 10);
    const auto c = CleanupCatalog::candidates(t.nodes());
    std::vector<std::string> ids;
    for (const auto& row : c)
        ids.push_back(row.id);
    EXPECT_EQ(
        ids, (std::vector<std::string>{
                 "/r/p/node_modules", "/r/h/Library/Caches/tool", "/r/b/coverage",
                 "/r/a/__pycache__", "/r/deep/er/__pycache__", "/r/p/node_modules2/node_modules"}));
    EXPECT_EQ(c[1].owner, "Application cache");
}

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
    const std::string raw =
        home / "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw";
    test::putSized(raw, 2'500'000);
    ASSERT_EQ(::truncate(raw.c_str(), 64'000'000'000), 0); // sparse tail
    const auto wins = QuickWins::discover(home.path());
    ASSERT_EQ(wins.size(), 5u);
    EXPECT_EQ(wins[0], (QuickWin{"hf", "Hugging Face hub", "Cached model files.",
                                 home / ".cache/huggingface/hub",
                                 allocatedOf(home / ".cache/huggingface/hub/d")}));
    EXPECT_EQ(wins[1].id, "cache"); // the whole cache folder: equal size, later in the catalog
    EXPECT_EQ(wins[1].bytes, wins[0].bytes);
    EXPECT_EQ(wins[2].id, "npm");
    // Docker's disk by its allocated bytes, not its logical ones.
    EXPECT_EQ(wins[3].id, "docker");
    EXPECT_EQ(wins[3].bytes, allocatedOf(raw));
    EXPECT_EQ(wins[4].id, "caches");
    // Folders count as items but add nothing.
    EXPECT_EQ(wins[4].bytes, allocatedOf(home / "Library/Caches/x/b"));
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
TEST(PathSize, MeasuresEveryEntryUnlessGivenACapButNoLinkAndStops) {
    TempDir dir;
    const std::string caches = dir / "Caches";
    test::makeDirs(caches);
    for (int i = 0; i < 20001; ++i)
        test::writeFile(caches + "/f" + std::to_string(i), "x");
    const std::int64_t each = allocatedOf(caches + "/f0");
    ASSERT_GT(each, 0);
    EXPECT_EQ(PathSize::allocated(caches), 20001 * each);
    EXPECT_EQ(PathSize::allocated(caches, 20000), 20000 * each);

    // Folders count towards the cap; hidden items are measured.
    test::put(dir / "top/.hidden/a", "a");
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
