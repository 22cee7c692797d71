#include "analysis/cleanup_catalog.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "support/disk_fakes.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::cargoTag;
using test::elfCore;
using test::elfProgram;
using test::FakeDisk;
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
        if (std::string(c.regenerate) == "-") {
            EXPECT_EQ(it->regenerate, "") << c.label;
        } else {
            EXPECT_NE(it->regenerate.find(c.regenerate), std::string::npos)
                << c.label << ": " << it->regenerate;
        }
    }
}

TEST(CleanupCatalog, NothingGitTracksIsOfferedAndGitIsAskedOncePerWorkTree) {
    TreeBuilder t("/r");
    for (const char* p : {"repo/a", "repo/b", "repo/c", "plain"}) {
        t.file("/r/" + std::string(p) + "/package.json", 10);
        t.file("/r/" + std::string(p) + "/node_modules/x.js", 2'000'000);
    }
    t.file("/r/unknown/package.json", 10);
    t.file("/r/unknown/node_modules/x.js", 2'000'000);
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
    EXPECT_EQ(
        CleanupCatalog::candidates(t.nodes()),
        (std::vector<CleanupCandidate>{
            {"/r/y/__pycache__", "__pycache__", "/r/y/__pycache__", 1'000'001, "Developer project",
             "Generated dependencies or build output; rebuilding may require time or "
             "network.",
             "Folder named __pycache__ holding only compiled Python files.", CleanupRisk::review,
             true, "Python compiles the modules again when they are next imported."}}));
}

TEST(CleanupCatalog, KeepsOnlyTheOutermostOfNestedMatches) {
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
    const auto c = CleanupCatalog::candidates(t.nodes());
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].id, "/r/p/node_modules");
    EXPECT_EQ(c[1].id, "/r/h/Library/Caches/tool");
    EXPECT_EQ(c[1].owner, "Application cache");
    EXPECT_EQ(c[2].id, "/r/p/node_modules2/node_modules");
}

TEST(CleanupCatalog, EqualSizesPutFewerComponentsFirstThenNodeOrder) {
    TreeBuilder t("/r");
    t.dir("/r/deep/er/__pycache__", 3'000'000);
    t.file("/r/deep/er/__pycache__/m.pyc", 10);
    t.file("/r/b/package.json", 10);
    t.dir("/r/b/coverage", 3'000'000);
    t.file("/r/b/coverage/lcov.info", 10);
    t.dir("/r/a/__pycache__", 3'000'000);
    t.file("/r/a/__pycache__/m.pyc", 10);
    const auto c = CleanupCatalog::candidates(t.nodes());
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].id, "/r/b/coverage");
    EXPECT_EQ(c[1].id, "/r/a/__pycache__");
    EXPECT_EQ(c[2].id, "/r/deep/er/__pycache__");
}

TEST(CleanupCatalog, HuggingFaceCacheInHomeIsAModel) {
    TreeBuilder t("/home/u");
    t.dir("/home/u/.cache/huggingface", 7'000'000);
    ScanForest forest(t.tree(), 0, 3, ScanContext::make("/home/u", std::nullopt, true));
    const auto c = CleanupCatalog::candidates(forest);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].id, "/home/u/.cache/huggingface");
    EXPECT_EQ(c[0].owner, "Local AI model");
    EXPECT_EQ(c[0].risk, CleanupRisk::caution);
}

} // namespace
} // namespace tb
