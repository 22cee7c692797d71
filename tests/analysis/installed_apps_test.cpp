// Which installed applications Apps lists and what it counts for each:
// entries that start an AppImage, several entries of one package, the
// packages installed only for an app, entries whose program is gone, and
// the data apps left behind.
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "analysis/cleanup_catalog.h"
#include "analysis/linux_apps.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::put;
using test::putSized;

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
    // A package owning `files`, with its status stanza; `name` may carry
    // an architecture, as the list's file name does.
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
    // vim-gtk3 needs vim-common too, but that is Vim's; vim-shared serves
    // another package as well.
    EXPECT_EQ(gvim->packageBytes, (500 + 4000) * 1024);
}

TEST_F(InstalledApps, AnEntryWhoseProgramIsGoneIsFlagged) {
    const struct {
        const char* id;
        const char* exec;
        bool broken;
    } cases[] = {
        {"works", "present %U", false},
        {"by-path", "\"PRESENT_PATH\" --new-window", false},
        {"with-env", "env GDK_BACKEND=x11 present", false},
        {"gone", "removed-tool %F", true},
        {"gone-path", "/opt/gone/bin/tool", true},
        {"no-exec", "", false},
    };
    for (const auto& c : cases) {
        std::string exec = c.exec;
        if (const auto at = exec.find("PRESENT_PATH"); at != std::string::npos)
            exec.replace(at, 12, system / "bin/present");
        entry(home / (std::string(".local/share/applications/") + c.id + ".desktop"), c.id, exec);
    }
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
    const ScanNode* twice = test::findNode(forest, target + "/debug/deps/twice");
    ASSERT_TRUE(folder && shared && twice);
    ASSERT_GT(shared->allocatedSize(), 0);
    // The twice-named file once, the one also kept elsewhere not at all.
    EXPECT_EQ(it->bytes, folder->allocatedSize() - shared->allocatedSize());
    EXPECT_GE(it->bytes, 3'500'000);
}

} // namespace
} // namespace tb
