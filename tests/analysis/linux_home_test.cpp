// A synthetic Linux home with what a developer's desktop collects, and
// decoys that only look like it: each planted item must land in the right
// list, and no decoy anywhere.
#include <unistd.h>

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "analysis/cleanup_catalog.h"
#include "analysis/insights_report.h"
#include "base/path.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"
#include "support/platform_fakes.h"

namespace tb {
namespace {

using test::put;
using test::putSized;

class LinuxHome : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string h = home.path();
        putSized(h + "/.cache/pip/http/a", 2'000'000);
        putSized(h + "/.cache/someapp/c", 1'200'000, 2);
        putSized(h + "/.cache/tool-checkout/d", 1'300'000, 3);
        put(h + "/.cache/tool-checkout/.git/HEAD", "ref: refs/heads/main\n");
        putSized(h + "/.cargo/registry/cache/e.crate", 2'000'000, 4);

        put(h + "/src/rusty/Cargo.toml", "[package]\n");
        putSized(h + "/src/rusty/target/debug/app", 3'000'000, 7);
        putSized(h + "/src/decoy-rust/target/debug/app", 3'100'000, 8); // no Cargo.toml
        put(h + "/src/py/.venv/pyvenv.cfg", "home = /usr/bin\n");
        putSized(h + "/src/py/.venv/lib/h", 2'000'000, 9);
        putSized(h + "/src/decoy-py/venv/lib/h", 2'100'000, 10); // no pyvenv.cfg
        put(h + "/src/web/package.json", "{}\n");
        putSized(h + "/src/web/node_modules/i", 2'000'000, 11);
        put(h + "/src/cm/build/CMakeCache.txt", "# cache\n");
        putSized(h + "/src/cm/build/obj", 2'000'000, 12);
        put(h + "/src/gitbuild/build/CMakeCache.txt", "# cache\n"); // but a repository
        put(h + "/src/gitbuild/build/.git/HEAD", "ref: refs/heads/main\n");
        putSized(h + "/src/gitbuild/build/obj", 2'200'000, 13);

        const std::string flatpak = h + "/.local/share/flatpak";
        putSized(flatpak + "/app/org.example.Editor/x86_64/stable/abc/files/bin/editor", 2'000'000,
                 14);
        const std::string editor = flatpak + "/app/org.example.Editor/x86_64/stable";
        deploy(editor + "/abc",
               "[Application]\nname=org.example.Editor\nruntime=org.example.Platform/x86_64/1\n");
        const std::string runtimes = flatpak + "/runtime";
        putSized(runtimes + "/org.example.Platform/x86_64/1/r1/files/lib", 1'500'000, 25);
        // The drivers extend a base platform that is not installed; the
        // editor's platform takes them in, but only the branches it names.
        deploy(runtimes + "/org.example.Platform/x86_64/1/r1",
               "[Runtime]\n[Extension org.example.Platform.GL]\nversions=1;1-extra\n"
               "subdirectories=true\n");
        for (const char* branch : {"1", "0"}) {
            const std::string gl = runtimes + "/org.example.Platform.GL.default/x86_64/" + branch;
            putSized(gl + "/g1/files/lib", 1'200'000, 26);
            deploy(gl + "/g1", "[ExtensionOf]\nref=runtime/org.base.Platform/x86_64/1\n");
        }
        putSized(runtimes + "/org.old.Platform/x86_64/1/o1/files/lib", 1'800'000, 27);
        put(flatpak + "/exports/share/applications/org.example.Editor.desktop",
            "[Desktop Entry]\nType=Application\nName=Example "
            "Editor\nX-Flatpak=org.example.Editor\n");
        putSized(h + "/.var/app/org.example.Editor/config/j", 1'000'000, 15);
        putSized(h + "/.var/app/com.gone.App/data/k", 1'500'000, 16);

        test::makeDirs(system / "snap/hello/42");
        EXPECT_EQ(::symlink("42", (system / "snap/hello/current").c_str()), 0);
        putSized(system / "snaps/hello_42.snap", 1'100'000, 17);
        putSized(system / "snaps/hello_41.snap", 1'000'000, 28);
        putSized(h + "/snap/hello/common/l", 600'000, 18);
        putSized(h + "/snap/oldtool/common/m", 700'000, 19);

        putSized(h + "/Applications/Tool-1.2.AppImage", 1'000'000, 20);
        put(h + "/.local/share/applications/org.example.Notes.desktop",
            "[Desktop Entry]\nType=Application\nName=Notes\nExec=notes\n");
        put(h + "/.local/share/applications/hidden.desktop",
            "[Desktop Entry]\nType=Application\nName=Hidden\nNoDisplay=true\n");
        putSized(h + "/.config/notes/settings", 100'000, 21);

        const std::string trash = h + "/.local/share/Trash";
        putSized(trash + "/files/old.iso", 2'000'000, 22);
        put(trash + "/info/old.iso.trashinfo", "[Trash Info]\nPath=/x/old.iso\n");
        put(trash + "/files/proj/package.json", "{}\n");
        putSized(trash + "/files/proj/node_modules/n", 2'000'000, 23);

        test::makeDirs(h + "/vm");
        test::writeSizedFile(h + "/vm/disk.img", 8192, 24);
        EXPECT_EQ(::truncate((h + "/vm/disk.img").c_str(), 3'000'000'000), 0);

        sources = AppSources::forHome(HomePlaces::below(h));
        sources.flatpakInstallations = {flatpak};
        sources.snapMounts = system / "snap";
        sources.snapImages = system / "snaps";
        const ScanForest forest = test::scanFolder(h);
        report = Insights::gather(forest, sources, test::FakeRunner());
    }

    // A Flatpak deployment's metadata, made the active one.
    static void deploy(const std::string& commit, const std::string& metadata) {
        put(commit + "/metadata", metadata);
        const std::string name(Path::lastComponent(commit));
        EXPECT_EQ(::symlink(name.c_str(), (Path::parent(commit) + "/active").c_str()), 0);
    }

    template <typename T, typename F>
    static const T* find(const std::vector<T>& items, F&& pred) {
        auto it = std::find_if(items.begin(), items.end(), pred);
        return it == items.end() ? nullptr : &*it;
    }
    const CleanupCandidate* candidate(const std::string& relative) const {
        const std::string p = home / relative;
        return find(report.cleanup, [&](const CleanupCandidate& c) { return c.id == p; });
    }
    const Leftover* leftover(const std::string& relative) const {
        const std::string p = home / relative;
        return find(report.leftovers, [&](const Leftover& l) { return l.id == p; });
    }

    test::TempDir home;
    test::TempDir system;
    AppSources sources;
    InsightsReport report;
};

TEST_F(LinuxHome, CleanupListsMarkedFoldersAndCachesButNoDecoy) {
    const struct {
        const char* path;
        const char* owner;
    } expected[] = {
        {".cache/pip", "pip"},
        {".cache/someapp", "Application cache"},
        {".cargo/registry", "Cargo"},
        {"src/rusty/target", "Cargo"},
        {"src/py/.venv", "Python virtual environment"},
        {"src/web/node_modules", "Developer project"},
        {"src/cm/build", "CMake"},
        {".local/share/flatpak/runtime/org.old.Platform/x86_64/1", "Flatpak"},
        {".local/share/flatpak/runtime/org.example.Platform.GL.default/x86_64/0", "Flatpak"},
    };
    for (const auto& e : expected) {
        const CleanupCandidate* c = candidate(e.path);
        ASSERT_TRUE(c) << e.path;
        EXPECT_EQ(c->owner, e.owner) << e.path;
    }
    for (const char* decoy :
         {"src/decoy-rust/target", "src/decoy-py/venv",
          ".local/share/flatpak/runtime/org.example.Platform/x86_64/1",
          ".local/share/flatpak/runtime/org.example.Platform.GL.default/x86_64/1",
          ".cache/tool-checkout", "src/gitbuild/build",
          ".local/share/Trash/files/proj/node_modules"}) {
        EXPECT_FALSE(candidate(decoy)) << decoy;
    }
    EXPECT_EQ(report.cleanup.size(), std::size(expected));
}

TEST_F(LinuxHome, QuickWinsNameCachesToolchainsAndTheTrash) {
    for (const char* id : {"cache", "pip", "cargo", "trash"}) {
        const QuickWin* w = find(report.quickWins, [&](const QuickWin& q) { return q.id == id; });
        ASSERT_TRUE(w) << id;
        EXPECT_GE(w->bytes, std::string(id) == "trash" ? 4'000'000 : 1'000'000) << id;
        if (std::string(id) != "trash") continue;
        EXPECT_EQ(w->url, home / ".local/share/Trash");
    }
}

TEST_F(LinuxHome, AppsOfEveryKindWithTheirData) {
    const struct {
        const char* kind;
        const char* id;
        const char* name;
        const char* related; // "" when none is expected
    } expected[] = {
        {"flatpak", "org.example.Editor", "Example Editor", ".var/app/org.example.Editor"},
        {"snap", "hello", "hello", "snap/hello"},
        {"appimage", "Tool-1.2.AppImage", "Tool-1.2", ""},
        {"desktop", "org.example.Notes", "Notes", ".config/notes"},
    };
    for (const auto& e : expected) {
        const AppFootprint* a =
            find(report.apps, [&](const AppFootprint& f) { return f.bundleID == e.id; });
        ASSERT_TRUE(a) << e.id;
        EXPECT_EQ(a->kind, e.kind) << e.id;
        EXPECT_EQ(a->name, e.name) << e.id;
        if (*e.related) {
            EXPECT_EQ(a->relatedPaths, std::vector<std::string>{home / e.related}) << e.id;
            EXPECT_GT(a->relatedBytes, 0) << e.id;
        }
    }
    EXPECT_EQ(report.apps.size(), std::size(expected)); // the hidden entry is not an app
    const AppFootprint* snap =
        find(report.apps, [](const AppFootprint& f) { return f.kind == "snap"; });
    ASSERT_TRUE(snap);
    EXPECT_GE(snap->appBytes, 1'100'000); // the squashfs image, not the mount
}

TEST_F(LinuxHome, LeftoversTellOwnedDataFromOrphans) {
    // Of the sandboxes, only the unused runtime and the old snap revision.
    std::set<std::string> sandboxed;
    for (const auto& [path, d] : LinuxApps::sandboxLeftovers(sources))
        sandboxed.insert(path);
    EXPECT_EQ(sandboxed, (std::set<std::string>{
                             home / ".local/share/flatpak/runtime/org.old.Platform/x86_64/1",
                             home / ".local/share/flatpak/runtime/org.example.Platform.GL.default/"
                                    "x86_64/0",
                             system / "snaps/hello_41.snap"}));

    const Leftover* owned = leftover(".var/app/org.example.Editor");
    ASSERT_TRUE(owned);
    EXPECT_FALSE(owned->orphan);
    EXPECT_EQ(owned->owner, "Example Editor");
    for (const char* gone : {".var/app/com.gone.App", "snap/oldtool"}) {
        const Leftover* l = leftover(gone);
        ASSERT_TRUE(l) << gone;
        EXPECT_TRUE(l->orphan) << gone;
        EXPECT_GT(l->bytes, 0) << gone;
    }
    const Leftover* hello = leftover("snap/hello");
    EXPECT_TRUE(hello && !hello->orphan);

    // A search by name finds the XDG folders whatever their case.
    const auto named = Uninstaller::leftovers(" NOTES ", " NOTES ", home.path(), nullptr);
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0].id, home / ".config/notes");
    EXPECT_EQ(named[0].reason, "Configuration");
}

TEST_F(LinuxHome, SparseFileAndVolume) {
    EXPECT_EQ(report.sparse, std::vector<std::string>{home / "vm/disk.img"});
    EXPECT_TRUE(report.truth); // its slices are the volume accounting tests'
    EXPECT_TRUE(report.snapshots.empty());
}

} // namespace
} // namespace tb
