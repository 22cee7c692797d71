#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "analysis/cleanup_catalog.h"
#include "analysis/ghost_catalog.h"
#include "analysis/linux_apps.h"
#include "analysis/path_size.h"
#include "analysis/storage_insights.h"
#include "analysis/system_reclaim.h"
#include "analysis/uninstaller.h"
#include "support/platform_fakes.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::put;
using test::putSized;
using test::TempDir;
using test::TreeBuilder;

// Desktop entries and dpkg packages in a fixture root, as the app list reads them.
class InstalledApps : public ::testing::Test {
protected:
    void SetUp() override {
        sources = AppSources::forHome(HomePlaces::below(home.path()));
        sources.flatpakInstallations = {};
        sources.snapMounts = "";
        sources.applicationDirs = {home / ".local/share/applications",
                                   system / "share/applications"};
        sources.dpkgDatabase = system / "dpkg";
        sources.programDirs = {system / "bin"};
        put(system / "bin/present", "#!/bin/sh\n");
    }

    void entry(const std::string& path, const std::string& name, const std::string& exec) {
        put(path, "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n");
    }
    std::string systemEntry(const std::string& id) const {
        return system / ("share/applications/" + id + ".desktop");
    }
    // A package owning `files`; `name` may carry an architecture, as the list's name does.
    void package(const std::string& name, const std::string& stanza,
                 const std::vector<std::string>& files = {}) {
        std::string list = "/.\n";
        for (const auto& f : files)
            list += f + "\n";
        put(system / ("dpkg/info/" + name + ".list"), list);
        status += "Package: " + name.substr(0, name.find(':')) +
                  "\nStatus: install ok installed\n" + stanza + "\n";
    }
    std::vector<InstalledApp> installed() {
        put(system / "dpkg/status", status);
        return LinuxApps::installed(sources, {});
    }
    static const InstalledApp* named(const std::vector<InstalledApp>& apps, std::string_view name) {
        auto it = std::find_if(apps.begin(), apps.end(),
                               [&](const InstalledApp& a) { return a.name == name; });
        return it == apps.end() ? nullptr : &*it;
    }

    test::TempDir home;
    test::TempDir system;
    AppSources sources;
    std::string status;
};

TEST_F(InstalledApps, AnEntryThatStartsAnAppImageIsThatAppImage) {
    const std::string image = home / "Applications/Tool-1.2.AppImage";
    putSized(image, 300'000, 1);
    ::chmod(image.c_str(), 0755);
    entry(home / ".local/share/applications/appimagekit-tool.desktop", "Tool",
          "\"" + image + "\" %U");
    // One that lies elsewhere joins the list through its entry.
    const std::string other = system / "opt/Other.AppImage";
    putSized(other, 200'000, 2);
    entry(home / ".local/share/applications/other.desktop", "Other", other);

    const auto apps = installed();
    ASSERT_EQ(apps.size(), 2u);
    const InstalledApp* tool = named(apps, "Tool");
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->kind, "appimage");
    EXPECT_EQ(tool->payload, std::vector<std::string>{image});
    const InstalledApp* o = named(apps, "Other");
    ASSERT_TRUE(o);
    EXPECT_EQ(o->kind, "appimage");
    EXPECT_GT(LinuxApps::footprint(*o, sources.places, {}).appBytes, 0);
}

TEST_F(InstalledApps, EachPackageAndEachProgramIsOneApp) {
    entry(systemEntry("org.bleachbit.BleachBit"), "BleachBit", "bleachbit");
    entry(systemEntry("bleachbit-root"), "BleachBit (as root)", "pkexec bleachbit");
    package("bleachbit:amd64", "Installed-Size: 100\n",
            {systemEntry("org.bleachbit.BleachBit"), systemEntry("bleachbit-root")});
    // The same settings panel under the same name from two folders.
    entry(home / ".local/share/applications/settings.desktop", "System Settings", "present");
    entry(systemEntry("org.example.settings"), "System Settings", "present");

    const auto apps = installed();
    ASSERT_EQ(apps.size(), 2u);
    const InstalledApp* b = named(apps, "BleachBit");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->packageBytes, 100 * 1024);
    EXPECT_EQ(LinuxApps::footprint(*b, sources.places, {}).appBytes, 100 * 1024);
    EXPECT_FALSE(named(apps, "BleachBit (as root)"));
    EXPECT_EQ(std::count_if(apps.begin(), apps.end(),
                            [](const InstalledApp& a) { return a.name == "System Settings"; }),
              1);
    EXPECT_EQ(named(apps, "System Settings")->packageBytes, -1); // no package owns it
}

TEST_F(InstalledApps, APackageCountsWhatWasInstalledOnlyForIt) {
    entry(systemEntry("vim"), "Vim", "vim");
    entry(systemEntry("gvim"), "GVim", "gvim");
    package("vim-common", "Source: vim\nInstalled-Size: 245\n", {systemEntry("vim")});
    package("vim",
            "Source: vim (2:9.0)\nInstalled-Size: 3800\n"
            "Depends: vim-common (= 2:9.0), vim-runtime (= 2:9.0), libc6 (>= 2.34)\n");
    package("vim-runtime", "Source: vim\nInstalled-Size: 36000\n");
    package("libc6", "Source: glibc\nInstalled-Size: 12000\n");
    // Shared with another app of the same source: not the first one's alone.
    package("vim-gui-common", "Source: vim\nInstalled-Size: 500\n", {systemEntry("gvim")});
    package("vim-gtk3",
            "Source: vim\nInstalled-Size: 4000\n"
            "Depends: vim-gui-common, vim-common,\n vim-shared\n");
    package("vim-shared", "Source: vim\nInstalled-Size: 70\n");
    package("xxd", "Source: vim\nInstalled-Size: 10\n");
    package("tool", "Installed-Size: 1\nDepends: vim-shared\n");

    const auto apps = installed();
    const InstalledApp* vim = named(apps, "Vim");
    ASSERT_TRUE(vim);
    EXPECT_EQ(vim->packageBytes, (245 + 3800 + 36000) * 1024);
    std::vector<std::string> packages = vim->packages;
    std::sort(packages.begin(), packages.end());
    EXPECT_EQ(packages, (std::vector<std::string>{"vim", "vim-common", "vim-runtime"}));
    const InstalledApp* gvim = named(apps, "GVim");
    ASSERT_TRUE(gvim);
    // vim-common is Vim's, and vim-shared serves another package too.
    EXPECT_EQ(gvim->packageBytes, (500 + 4000) * 1024);
}

TEST_F(InstalledApps, AnEntryWhoseProgramIsGoneIsFlagged) {
    const struct {
        const char* id;
        std::string exec;
        bool broken;
    } cases[] = {
        {"works", "present %U", false},
        {"by-path", "\"" + system / "bin/present" + "\" --new-window", false},
        {"with-env", "env GDK_BACKEND=x11 present", false},
        {"gone", "removed-tool %F", true},
        {"gone-path", "/opt/gone/bin/tool", true},
        {"no-exec", "", false},
    };
    for (const auto& c : cases)
        entry(home / (std::string(".local/share/applications/") + c.id + ".desktop"), c.id, c.exec);
    const auto apps = installed();
    for (const auto& c : cases) {
        const InstalledApp* a = named(apps, c.id);
        ASSERT_TRUE(a) << c.id;
        EXPECT_EQ(!a->problem.empty(), c.broken) << c.id << ": " << a->problem;
        EXPECT_EQ(LinuxApps::footprint(*a, sources.places, {}).problem, a->problem) << c.id;
    }
    EXPECT_NE(named(apps, "gone")->problem.find("removed-tool"), std::string::npos);
}

TEST_F(InstalledApps, LeftBehindIsTheDataOfAppsThatAreGoneLargestFirst) {
    const std::string flatpak = home / ".local/share/flatpak";
    put(flatpak + "/app/org.example.Kept/x86_64/stable/a/metadata", "[Application]\n");
    sources.flatpakInstallations = {flatpak};
    putSized(home / ".var/app/org.example.Kept/data/x", 100'000, 1);
    putSized(home / ".var/app/com.spotify.Client/cache/y", 600'000, 2);
    putSized(home / ".var/app/org.small.Gone/config/z", 50'000, 3);
    const ScanForest forest = test::scanFolder(home.path());
    const auto left = LinuxApps::leftBehind(forest.nodes(), sources);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].url, home / ".var/app/com.spotify.Client");
    EXPECT_EQ(left[0].owner, "Flatpak com.spotify.Client");
    EXPECT_TRUE(left[0].orphan);
    EXPECT_GE(left[0].bytes, 600'000);
    EXPECT_NE(left[0].reason.find("no installed Flatpak"), std::string::npos);
    EXPECT_EQ(left[1].url, home / ".var/app/org.small.Gone");
}

TEST(CleanupSizes, ARowFreesEachFileOnceAndNothingNamedOutsideIt) {
    test::TempDir home;
    put(home / "src/crate/Cargo.toml", "[package]\n");
    const std::string target = home / "src/crate/target";
    putSized(target + "/debug/own", 2'000'000, 1);
    putSized(target + "/debug/deps/twice", 1'500'000, 2);
    ASSERT_EQ(::link((target + "/debug/deps/twice").c_str(), (target + "/debug/twice").c_str()), 0);
    putSized(target + "/debug/deps/shared", 3'000'000, 3);
    // Sorting after the row, the other name leaves this one counted in it.
    test::makeDirs(home / "zkeep");
    ASSERT_EQ(::link((target + "/debug/deps/shared").c_str(), (home / "zkeep/shared").c_str()), 0);

    const ScanForest forest = test::scanFolder(home.path());
    const auto rows = CleanupCatalog::candidates(forest, HomePlaces::below(home.path()));
    auto it = std::find_if(rows.begin(), rows.end(),
                           [&](const CleanupCandidate& c) { return c.id == target; });
    ASSERT_NE(it, rows.end());
    const ScanNode* folder = test::findNode(forest, target);
    const ScanNode* shared = test::findNode(forest, target + "/debug/deps/shared");
    ASSERT_TRUE(folder && shared);
    ASSERT_GT(shared->allocatedSize(), 0);
    // The twice-named file once, the one also kept elsewhere not at all.
    EXPECT_EQ(it->bytes, folder->allocatedSize() - shared->allocatedSize());
    EXPECT_GE(it->bytes, 3'500'000);
}

// Read from a fixture root so that nothing depends on this computer.
class SystemReclaimTest : public ::testing::Test {
protected:
    void SetUp() override {
        sources.systemRoot = root.path();
        sources.runningKernel = "6.1.0-17-amd64";
        sources.programDirs = {root / "usr/bin"};
    }
    std::vector<SystemReclaim> gather(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        return SystemReclaims::gather(sources, runner, limit);
    }
    static const SystemReclaim* item(const std::vector<SystemReclaim>& all, std::string_view id) {
        auto it = std::find_if(all.begin(), all.end(), [&](const auto& r) { return r.id == id; });
        return it == all.end() ? nullptr : &*it;
    }

    test::TempDir root;
    AppSources sources;
    test::FakeRunner runner;
};

TEST_F(SystemReclaimTest, TheAptCacheJournalKernelsAndAutoremovable) {
    putSized(root / "var/cache/apt/archives/vim_9.0_amd64.deb", 700'000, 1);
    putSized(root / "var/cache/apt/archives/libx_1_amd64.deb", 300'000, 2);
    put(root / "var/cache/apt/archives/lock", "");
    putSized(root / "var/log/journal/abc/system.journal", 110'000'000, 3);
    const auto pkg = [](const std::string& name, int kb, const std::string& more = "",
                        const std::string& status = "install ok installed") {
        return "Package: " + name + "\nStatus: " + status +
               "\nInstalled-Size: " + std::to_string(kb) + "\n" + more + "\n";
    };
    put(root / "var/lib/dpkg/status",
        pkg("editor", 10, "Depends: libused\n") + pkg("libused", 20) + pkg("libhinted", 25) +
            pkg("libold", 30, "Depends: libdeep\n") + pkg("libdeep", 40) +
            pkg("libgone", 50, "", "deinstall ok config-files") +
            pkg("tools", 1, "Recommends: libhinted | libother\n") +
            pkg("linux-image-6.1.0-9-amd64", 400000) + pkg("linux-image-6.1.0-17-amd64", 410000) +
            pkg("linux-image-6.1.0-18-amd64", 420000) +
            pkg("linux-image-6.1.0-10-amd64-unsigned", 390000) +
            pkg("linux-image-amd64", 1, "Depends: linux-image-6.1.0-18-amd64\n"));
    put(root / "var/lib/apt/extended_states",
        "Package: libused\nArchitecture: amd64\nAuto-Installed: 1\n\n"
        "Package: libhinted\nAuto-Installed: 1\n\n"
        "Package: libold\nAuto-Installed: 1\n\nPackage: libdeep\nAuto-Installed: 1\n\n"
        "Package: libgone\nAuto-Installed: 1\n\nPackage: editor\nAuto-Installed: 0\n");

    const auto all = gather();
    const SystemReclaim* cache = item(all, "apt-cache");
    ASSERT_TRUE(cache);
    EXPECT_GE(cache->bytes, 1'000'000);
    EXPECT_EQ(cache->command, "sudo apt clean");

    const SystemReclaim* orphans = item(all, "autoremove");
    ASSERT_TRUE(orphans);
    EXPECT_EQ(orphans->bytes, (30 + 40) * 1024);
    EXPECT_EQ(orphans->command, "sudo apt autoremove");
    EXPECT_NE(orphans->detail.find("libold, libdeep"), std::string::npos) << orphans->detail;

    const SystemReclaim* kernels = item(all, "old-kernels");
    ASSERT_TRUE(kernels);
    EXPECT_EQ(kernels->command,
              "sudo apt purge linux-image-6.1.0-9-amd64 linux-image-6.1.0-10-amd64-unsigned");
    EXPECT_EQ(kernels->bytes, (400000 + 390000) * std::int64_t(1024));

    const SystemReclaim* journal = item(all, "journal");
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->command, "sudo journalctl --vacuum-size=100M");
    EXPECT_GT(journal->bytes, 5'000'000);

    // Without knowing which kernel runs, none is named.
    sources.runningKernel.clear();
    EXPECT_FALSE(item(gather(), "old-kernels"));
}

TEST_F(SystemReclaimTest, ContainerToolsSayWhatTheyCanPruneWithinTheirTimeInTheirUnits) {
    EXPECT_TRUE(gather().empty()); // a plain machine offers nothing
    put(root / "usr/bin/docker", "");
    runner.answers[root / "usr/bin/docker"] = {
        "Images\t1.5GB (60%)\nContainers\t0B (0%)\nLocal Volumes\t12.5MB\nBuild Cache\t800kB\n", 0};
    auto all = gather();
    const SystemReclaim* docker = item(all, "docker");
    ASSERT_TRUE(docker);
    EXPECT_EQ(docker->bytes, 1'500'000'000 + 12'500'000 + 800'000);
    EXPECT_EQ(docker->command, "docker system prune");
    EXPECT_EQ(
        runner.arguments[root / "usr/bin/docker"],
        (std::vector<std::string>{"system", "df", "--format", "{{.Type}}\t{{.Reclaimable}}"}));
    EXPECT_FALSE(item(all, "podman")); // not installed: not run

    runner.hang = true;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(item(gather(std::chrono::milliseconds(200)), "docker"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));

    runner.hang = false;
    runner.answers[root / "usr/bin/docker"] = {"Cannot connect to the Docker daemon\n", 1};
    EXPECT_FALSE(item(gather(), "docker"));
    // Sizes as the tools write them, and kernel versions in order.
    const struct {
        const char* text;
        std::optional<std::int64_t> bytes;
    } sizes[] = {{"0B", 0},
                 {"512B (100%)", 512},
                 {"1.5kB", 1500},
                 {"2.25GB (50%)", 2'250'000'000},
                 {"3MiB", 3 * 1048576},
                 {"12.5 MB", 12'500'000},
                 {"", std::nullopt},
                 {"lots", std::nullopt},
                 {"5XB", std::nullopt}};
    for (const auto& s : sizes)
        EXPECT_EQ(SystemReclaims::toolBytes(s.text), s.bytes) << s.text;

    EXPECT_TRUE(SystemReclaims::olderVersion("6.1.0-9-amd64", "6.1.0-10-amd64"));
    EXPECT_FALSE(SystemReclaims::olderVersion("6.1.0-10-amd64", "6.1.0-9-amd64"));
    EXPECT_TRUE(SystemReclaims::olderVersion("5.10.0-28-amd64", "6.1.0-1-amd64"));
    EXPECT_FALSE(SystemReclaims::olderVersion("6.1.0-9-amd64", "6.1.0-9-amd64"));
}

void makeBundle(const std::string& path, const std::string& body) {
    test::put(path + "/Contents/Info.plist", test::plist(body));
    test::putSized(path + "/Contents/MacOS/bin", 20'000);
}

// A home folder and a scanned Applications folder with one bundle Foo.APP.
class AppsInHome : public ::testing::Test {
protected:
    void SetUp() override {
        makeBundle(apps / "Foo.APP",
                   "<key>CFBundleIdentifier</key><string>com.example.foo</string>"
                   "<key>CFBundleDisplayName</key><string>Foo</string>"
                   "<key>CFBundleName</key><string>FooApp</string>");
        test::putSized(homeDir / "Library/Application Support/Foo/data", 30'000);
        test::putSized(homeDir / "Library/Application Support/FooApp/data", 40'000);
        test::putSized(homeDir / "Library/Logs/FooApp/log", 10'000);
        test::putSized(homeDir / "Library/Caches/com.example.foo/c", 50'000);
        test::putSized(homeDir / "Library/Application Support/com.example.foo/x", 5'000);
        test::putSized(homeDir / "Library/Application Support/Bar/y", 6'000);
        test::putSized(homeDir / "Library/Application Support/.hidden/z", 6'000);
        test::makeDirs(applicationsDir / "Installed.app");
        test::makeDirs(homeDir / "Library/Application Support/Installed");
    }

    TempDir homeDir, apps, applicationsDir;
    const std::string applications = applicationsDir.path();
    const std::string& home = homeDir.path();
};

TEST_F(AppsInHome, FootprintUsesDisplayNameAndGraphListsAppLocationsThenOrphans) {
    const ScanForest forest = test::scanFolder(apps.path());
    const auto footprints = StorageInsights::apps(forest, home);
    ASSERT_EQ(footprints.size(), 1u);
    const std::vector<std::string> related = {
        home + "/Library/Application Support/Foo", home + "/Library/Caches/com.example.foo",
        home + "/Library/Application Support/com.example.foo"};
    std::int64_t probed = 0;
    for (const auto& p : related)
        probed += PathSize::allocated(p);
    const std::string app = apps / "Foo.APP";
    const ScanNode* bundle = test::findNode(forest, app);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(footprints[0], (AppFootprint{app, "Foo", "com.example.foo", app,
                                           bundle->allocatedSize(), probed, related}));
    const auto found = Uninstaller::graph(*forest.root(), forest.nodes(), home, {}, applications);
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& l : found)
        got.emplace_back(l.id.substr(home.size()), l.reason);
    const std::string orphan(Uninstaller::orphanReason);
    // By the bundle name and the identifier; Foo, no app's name here, is an orphan.
    std::vector<std::pair<std::string, std::string>> expected = {
        {"/Library/Application Support/FooApp", "Application support"},
        {"/Library/Logs/FooApp", "Logs"},
        {"/Library/Caches/com.example.foo", "Caches"},
        {"/Library/Application Support/com.example.foo", "Application support"},
    };
    std::vector<std::pair<std::string, std::string>> orphans(got.begin() + 4, got.end());
    got.resize(4);
    EXPECT_EQ(got, expected);
    std::sort(orphans.begin(), orphans.end());
    EXPECT_EQ(orphans, (std::vector<std::pair<std::string, std::string>>{
                           {"/Library/Application Support/Bar", orphan},
                           {"/Library/Application Support/Foo", orphan}}));

    // The subtree form finds the same.
    EXPECT_EQ(Uninstaller::graph(*forest.root(), std::nullopt, home, {}, applications), found);
    // No support folder to read: no orphans.
    TempDir empty;
    EXPECT_TRUE(Uninstaller::graph(*forest.root(), forest.nodes(), empty.path()).empty());
}

TEST_F(AppsInHome, ScannedLocationsReportTheScannedSize) {
    // Scan the home itself, then grow a location on disk: the scan's size holds.
    test::makeDirs(homeDir / "Apps");
    makeBundle(homeDir / "Apps/Foo.APP", "<key>CFBundleDisplayName</key><string>Foo</string>");
    const ScanForest forest = test::scanFolder(home);
    test::putSized(homeDir / "Library/Application Support/Foo/more", 3'000'000);
    const auto footprints = StorageInsights::apps(forest, home);
    ASSERT_EQ(footprints.size(), 1u);
    EXPECT_EQ(footprints[0].bundleID, "Unknown bundle");
    ASSERT_EQ(footprints[0].relatedPaths.size(), 1u);
    EXPECT_EQ(footprints[0].relatedBytes,
              test::findNode(forest, home + "/Library/Application Support/Foo")->allocatedSize());
}

TEST(StorageInsights, KeepsThe120LargestBundlesAndLeftoverSpotsTrimAndSkipRepeats) {
    TempDir home;
    TreeBuilder t("/nowhere");
    for (int i = 0; i < 150; ++i) {
        const std::string app = "/nowhere/App" + std::to_string(i) + (i % 2 ? ".app" : ".App");
        t.dir(app, 1000 + (i * 7919) % 150);
        t.dir(app + "/Contents");
    }
    t.dir("/nowhere/NotAnApp.apps", 1'000'000);
    t.dir("/nowhere/NotAnApp.apps/Contents");
    t.dir("/nowhere/com.example.App", 1'000'000); // a Flatpak id, not a bundle
    const auto footprints = StorageInsights::apps(t.nodes(), home.path());
    ASSERT_EQ(footprints.size(), 120u);
    for (std::size_t i = 1; i < footprints.size(); ++i)
        EXPECT_GE(footprints[i - 1].appBytes, footprints[i].appBytes);
    EXPECT_EQ(footprints.back().appBytes, 1030); // sizes 1000..1149, top 120
    // Without an Info.plist: the file name and the unknown identifier.
    EXPECT_EQ(footprints[0].appBytes, 1149);
    EXPECT_EQ(footprints[0].name.rfind("App", 0), 0u);
    EXPECT_EQ(footprints[0].name.find('.'), std::string::npos);
    EXPECT_EQ(footprints[0].bundleID, "Unknown bundle");
    EXPECT_TRUE(footprints[0].relatedPaths.empty());
    // The same name twice, with white space: each spot once, trimmed.
    const auto spots = GhostCatalog::leftoverSpots(" Foo\n", "\tFoo ", "/h");
    ASSERT_EQ(spots.size(), 6u);
    EXPECT_EQ(spots[0].url, "/h/Library/Application Support/Foo");
    EXPECT_EQ(spots[5].url, "/h/Library/Saved Application State/Foo.savedState");

    const auto both = GhostCatalog::leftoverSpots("N", "com.x", "/h");
    ASSERT_EQ(both.size(), 7u);
    EXPECT_EQ(both[6], (GhostCatalog::LeftoverSpot{"/h/Library/Application Support/com.x",
                                                   "Application support"}));
    EXPECT_EQ(GhostCatalog::leftoverSpots("", "com.x", "/h").size(), 5u);
    EXPECT_EQ(GhostCatalog::leftoverSpots("N", " ", "/h").size(), 2u);
}

} // namespace
} // namespace tb
