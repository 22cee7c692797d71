// A home a developer would clean up: projects built with npm, Python, Cargo,
// CMake and Go, caches, a core dump and logs, each planted as its tool
// leaves it; and decoys that only look like them. Every planted item must be
// offered with its evidence and how it comes back, and no decoy.
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "analysis/insights_report.h"
#include "platform/process_runner.h"
#include "support/disk_fakes.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::put;
using test::putSized;

constexpr const char* git = "/usr/bin/git";

class CleanupHome : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string h = home.home();
        put(h + "/src/web/package.json", "{}\n");
        put(h + "/src/web/package-lock.json", "{}\n");
        putSized(h + "/src/web/node_modules/left-pad/index.js", 1'500'000, 1);
        putSized(h + "/src/web/coverage/lcov.info", 1'200'000, 2);
        putSized(h + "/src/py/__pycache__/tool.cpython-311.pyc", 1'100'000, 3);
        put(h + "/src/svc/requirements.txt", "pkg==1.0\n");
        put(h + "/src/svc/env/pyvenv.cfg", "home = /usr/bin\n");
        const std::string site = h + "/src/svc/env/lib/python3.11/site-packages";
        putSized(site + "/pkg/__init__.py", 1'300'000, 4);
        put(site + "/pkg-1.0.dist-info/RECORD",
            "pkg/__init__.py,sha256=x,1300000\npkg-1.0.dist-info/RECORD,,\n");
        put(h + "/src/rusty/Cargo.toml", "[package]\n");
        putSized(h + "/src/rusty/target/debug/app", 1'400'000, 5);
        put(h + "/src/rusty/target/CACHEDIR.TAG", test::cargoTag);
        put(h + "/src/cm/CMakeLists.txt", "project(cm)\n");
        put(h + "/src/cm/cmake-build-debug/CMakeCache.txt",
            "# cache\nCMAKE_HOME_DIRECTORY:INTERNAL=" + h + "/src/cm\n");
        putSized(h + "/src/cm/cmake-build-debug/cm", 1'600'000, 6);
        putSized(h + "/Backups/.work/chunks/a", 1'100'000, 7);
        put(h + "/Backups/.work/CACHEDIR.TAG",
            std::string(CleanupEvidence::cacheTagSignature) + "\n# created by a backup tool\n");
        put(h + "/crash/core.4242", test::elfCore + std::string(1'500'000, 'c'));
        putSized(h + "/.xsession-errors", 1'500'000, 8);
        putSized(h + "/.local/state/tool/tool.log", 21'000'000, 9);
        putSized(h + "/.var/app/org.example.App/cache/blob", 1'100'000, 10);
        putSized(h + "/snap/tool/common/.cache/blob", 1'100'000, 11);
        putSized(h + "/.npm/_cacache/content/a", 1'200'000, 12);
        putSized(h + "/.cache/pip/http/a", 1'300'000, 13);
        putSized(h + "/.cache/go-build/00/a", 1'400'000, 14);

        // Decoys.
        putSized(h + "/Documents/Insurance/coverage/policy.pdf", 1'500'000, 20);
        put(h + "/scraper/venv/pyvenv.cfg", "home = /usr/bin\n");
        const std::string scraper = h + "/scraper/venv/lib/python3.11/site-packages";
        putSized(scraper + "/mymod.py", 1'200'000, 21);
        put(scraper + "/pkg-1.0.dist-info/RECORD", "pkg-1.0.dist-info/RECORD,,\n");
        putSized(h + "/loose/node_modules/x.js", 1'200'000, 22);
        const std::string trash = home.dataHome() + "/Trash";
        put(trash + "/files/proj/package.json", "{}\n");
        putSized(trash + "/files/proj/node_modules/x.js", 6'000'000, 23);
        put(trash + "/info/proj.trashinfo", "[Trash Info]\nPath=/x/proj\n");
        hasGit = ::access(git, X_OK) == 0;
        if (hasGit) {
            const std::string repo = h + "/src/vendored";
            put(repo + "/package.json", "{}\n");
            putSized(repo + "/node_modules/dep/index.js", 6'000'000, 24);
            put(repo + "/build/CMakeCache.txt", "# cache\n");
            putSized(repo + "/build/prebuilt.bin", 1'300'000, 25);
            const auto& runner = platform::systemProcessRunner();
            ASSERT_TRUE(runner.run(git, {"-C", repo, "init", "-q"}));
            auto added = runner.run(git, {"-C", repo, "add", "-A"});
            ASSERT_TRUE(added && added->exitStatus == 0);
        }

        AppSources sources = AppSources::forHome(HomePlaces::below(h));
        sources.flatpakInstallations.clear();
        sources.snapMounts.clear();
        report = Insights::gather(test::scanFolder(h), sources, platform::systemProcessRunner());
    }

    const CleanupCandidate* row(const std::string& relative) const {
        const std::string p = home.home() + "/" + relative;
        const auto it = std::find_if(report.cleanup.begin(), report.cleanup.end(),
                                     [&](const CleanupCandidate& c) { return c.id == p; });
        return it == report.cleanup.end() ? nullptr : &*it;
    }

    test::TempHome home;
    bool hasGit = false;
    InsightsReport report;
};

TEST_F(CleanupHome, EveryPlantedItemIsOfferedWithEvidenceAndNoDecoy) {
    const struct {
        const char* path;
        const char* owner;
        bool comesBack;
    } planted[] = {
        {"src/web/node_modules", "Developer project", true},
        {"src/web/coverage", "Developer project", true},
        {"src/py/__pycache__", "Developer project", true},
        {"src/svc/env", "Python virtual environment", true},
        {"src/rusty/target", "Cargo", true},
        {"src/cm/cmake-build-debug", "CMake", true},
        {"Backups/.work", "Tagged cache", true},
        {"crash/core.4242", "Core dump", false},
        {".xsession-errors", "Log file", true},
        {".local/state/tool/tool.log", "Log file", false},
        {".var/app/org.example.App/cache", "org.example.App", true},
        {"snap/tool/common/.cache", "tool", true},
        {".npm/_cacache", "Package manager", true},
        {".cache/pip", "pip", true},
        {".cache/go-build", "Go", true},
    };
    std::int64_t offered = 0;
    for (const auto& p : planted) {
        const CleanupCandidate* c = row(p.path);
        ASSERT_TRUE(c) << p.path;
        EXPECT_EQ(c->owner, p.owner) << p.path;
        EXPECT_FALSE(c->evidence.empty()) << p.path;
        EXPECT_EQ(c->regenerate.empty(), !p.comesBack) << p.path << ": " << c->regenerate;
        offered += c->bytes;
    }
    // What the tag says is read from the disk.
    EXPECT_NE(row("Backups/.work")->evidence.find("# created by a backup tool"), std::string::npos);

    // The hand-edited venv is shown only as one to review, naming why.
    const CleanupCandidate* scraper = row("scraper/venv");
    ASSERT_TRUE(scraper);
    EXPECT_EQ(scraper->risk, CleanupRisk::review);
    EXPECT_NE(scraper->reason.find("No requirements file"), std::string::npos);
    EXPECT_NE(scraper->reason.find("mymod.py"), std::string::npos);
    EXPECT_TRUE(scraper->regenerate.empty());
    for (const char* decoy : {"Documents/Insurance/coverage", "loose/node_modules",
                              ".local/share/Trash/files/proj/node_modules"}) {
        EXPECT_FALSE(row(decoy)) << decoy;
    }
    // Nothing else: every byte offered is a planted one.
    EXPECT_EQ(report.cleanup.size(), std::size(planted) + 1);
    EXPECT_GT(offered, 20'000'000);

    if (!hasGit) GTEST_SKIP() << "git is not installed: the tracked-folder decoys were not made";
    for (const char* tracked : {"src/vendored/node_modules", "src/vendored/build"})
        EXPECT_FALSE(row(tracked)) << tracked;
}

TEST_F(CleanupHome, QuickWinsSkipTheTrashAndNestUnderTheirParent) {
    std::int64_t top = 0;
    for (const QuickWin& w : report.quickWins) {
        EXPECT_EQ(w.url.find("/Trash/"), std::string::npos) << w.url;
        EXPECT_FALSE(w.why.empty()) << w.url;
        if (w.within.empty()) top += w.bytes;
    }
    const auto find = [&](const std::string& id) {
        return std::find_if(report.quickWins.begin(), report.quickWins.end(),
                            [&](const QuickWin& w) { return w.id == id; });
    };
    const auto cache = find("cache");
    ASSERT_NE(cache, report.quickWins.end());
    for (const char* inside : {"pip", "go-build"}) {
        const auto w = find(inside);
        ASSERT_NE(w, report.quickWins.end()) << inside;
        EXPECT_EQ(w->within, cache->url) << inside;
        EXPECT_GT(w, cache) << inside; // listed below its parent
    }
    EXPECT_EQ(QuickWins::total(report.quickWins), top);
    if (!hasGit) GTEST_SKIP() << "git is not installed: the vendored node_modules was not made";
    EXPECT_EQ(find("node_modules"), report.quickWins.end()); // tracked, or in the Trash
}

} // namespace
} // namespace tb
