#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "scan/directory_walker.h"
#include "platform/volume_info.h"
#include "scan/exclude_rules.h"
#include "support/second_user.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using namespace tb::test;

TEST(Glob, MatchesNamesClassesAndFolders) {
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
}

TEST(ExcludeRules, NamesAnchoredPathsAndSnapshots) {
    const ExcludeRules rules({"node_modules", " *.iso ", "/proc", "**/.git", "build/", "",
                              "/.snapshots", "timeshift-btrfs/snapshots", "docs/old", "log\\?"});
    EXPECT_EQ(rules.patterns().size(), 9u); // the blank one is dropped
    using K = LeftOutKind;
    struct Case {
        const char* relative;
        bool isDirectory;
        K kind;
    } cases[] = {
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
    for (const Case& c : cases) {
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

TEST(DirectoryWalker, KeepsHardLinksCountedOnceBesideExcludes) {
    TempDir t;
    put(t / "a/big", std::string(8192, 'x'));
    ASSERT_EQ(::link((t / "a/big").c_str(), (t / "a/again").c_str()), 0);
    put(t / "skip/c.iso", std::string(8192, 'y'));
    DirectoryWalker::Options options;
    options.exclude = ExcludeRules({"*.iso"});
    const ScanForest f = DirectoryWalker::walk(
        t.path(), [](const WalkProgress&) {}, {}, options);
    const std::int64_t one = findNode(f, t / "a")->allocatedSize();
    EXPECT_GT(one, 0);
    EXPECT_EQ(f.root()->allocatedSize(), one);
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
