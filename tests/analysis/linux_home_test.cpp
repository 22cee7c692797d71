// A developer's home with projects, caches, logs and apps planted as their
// tools leave them, and decoys that only look like them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "analysis/insights_report.h"
#include "analysis/snapshot_service.h"
#include "analysis/text.h"
#include "base/path.h"
#include "platform/process_runner.h"
#include "scan/volume_accounting.h"
#include "support/disk_fakes.h"
#include "support/platform_fakes.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::put;
using test::putSized;

constexpr const char* git = "/usr/bin/git";

// Git, and no other tool: nothing else of this machine (snapshots, say) may show up.
class GitOnly final : public platform::ProcessRunner {
public:
    Result<platform::ProcessOutput> run(const std::string& exe,
                                        const std::vector<std::string>& args,
                                        std::stop_token stop) const override {
        if (exe != git) return Error::posix(ENOENT, exe);
        return platform::systemProcessRunner().run(exe, args, stop);
    }
};

class LinuxHome : public ::testing::Test {
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

        putSized(h + "/.cache/someapp/c", 1'200'000, 2);
        putSized(h + "/.cache/tool-checkout/d", 1'300'000, 3);
        put(h + "/.cache/tool-checkout/.git/HEAD", "ref: refs/heads/main\n");
        putSized(h + "/.cargo/registry/cache/e.crate", 2'000'000, 4);

        put(h + "/src/crate/Cargo.toml", "[package]\n");
        putSized(h + "/src/crate/target/debug/app", 3'000'000, 7);
        putSized(h + "/src/decoy-rust/target/debug/app", 3'100'000, 8); // no Cargo.toml
        put(h + "/src/pyapp/.venv/pyvenv.cfg", "home = /usr/bin\n");
        putSized(h + "/src/pyapp/.venv/lib/h", 2'000'000, 9);
        putSized(h + "/src/decoy-py/venv/lib/h", 2'100'000, 10); // no pyvenv.cfg
        put(h + "/src/make/build/CMakeCache.txt", "# cache\n");
        putSized(h + "/src/make/build/obj", 2'000'000, 12);
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

        putSized(trash + "/files/old.iso", 2'000'000, 22);
        put(trash + "/info/old.iso.trashinfo", "[Trash Info]\nPath=/x/old.iso\n");

        test::makeDirs(h + "/vm");
        test::writeSizedFile(h + "/vm/disk.img", 8192, 24);
        EXPECT_EQ(::truncate((h + "/vm/disk.img").c_str(), 3'000'000'000), 0);

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

        sources = AppSources::forHome(HomePlaces::below(h));
        sources.flatpakInstallations = {flatpak};
        sources.snapMounts = system / "snap";
        sources.snapImages = system / "snaps";
        report = Insights::gather(test::scanFolder(h), sources, GitOnly());
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
    std::string at(const std::string& relative) const { return home.home() + "/" + relative; }
    const CleanupCandidate* row(const std::string& relative) const {
        const std::string p = at(relative);
        return find(report.cleanup, [&](const CleanupCandidate& c) { return c.id == p; });
    }
    const Leftover* leftover(const std::string& relative) const {
        const std::string p = at(relative);
        return find(report.leftovers, [&](const Leftover& l) { return l.id == p; });
    }

    test::TempHome home;
    test::TempDir system;
    AppSources sources;
    bool hasGit = false;
    InsightsReport report;
};

TEST_F(LinuxHome, EveryPlantedItemIsOfferedWithEvidenceAndNoDecoy) {
    const struct {
        const char* path;
        const char* owner;
        bool comesBack;
    } planted[] = {
        {"src/web/node_modules", "Developer project", true},
        {"src/web/coverage", "Developer project", true},
        {"src/py/__pycache__", "Developer project", true},
        {"src/svc/env", "Python virtual environment", true},
        {"src/pyapp/.venv", "Python virtual environment", false},
        {"src/rusty/target", "Cargo", true},
        {"src/crate/target", "Cargo", true},
        {"src/cm/cmake-build-debug", "CMake", true},
        {"src/make/build", "CMake", true},
        {"Backups/.work", "Tagged cache", true},
        {"crash/core.4242", "Core dump", false},
        {".xsession-errors", "Log file", true},
        {".local/state/tool/tool.log", "Log file", false},
        {".var/app/org.example.App/cache", "org.example.App", true},
        {"snap/tool/common/.cache", "tool", true},
        {".npm/_cacache", "Package manager", true},
        {".cache/pip", "pip", true},
        {".cache/go-build", "Go", true},
        {".cache/someapp", "Application cache", true},
        {".cargo/registry", "Cargo", true},
        {".local/share/flatpak/runtime/org.old.Platform/x86_64/1", "Flatpak", true},
        {".local/share/flatpak/runtime/org.example.Platform.GL.default/x86_64/0", "Flatpak", true},
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
    for (const char* decoy :
         {"Documents/Insurance/coverage", "loose/node_modules",
          ".local/share/Trash/files/proj/node_modules", "src/decoy-rust/target",
          "src/decoy-py/venv", ".cache/tool-checkout", "src/gitbuild/build",
          ".local/share/flatpak/runtime/org.example.Platform/x86_64/1",
          ".local/share/flatpak/runtime/org.example.Platform.GL.default/x86_64/1"}) {
        EXPECT_FALSE(row(decoy)) << decoy;
    }
    // Nothing else: every byte offered is a planted one.
    EXPECT_EQ(report.cleanup.size(), std::size(planted) + 1);
    EXPECT_GT(offered, 20'000'000);

    if (!hasGit) GTEST_SKIP() << "git is not installed: the tracked-folder decoys were not made";
    for (const char* tracked : {"src/vendored/node_modules", "src/vendored/build"})
        EXPECT_FALSE(row(tracked)) << tracked;
}

TEST_F(LinuxHome, QuickWinsNameCachesToolchainsAndTheTrashAndNestUnderTheirParent) {
    std::int64_t top = 0;
    for (const QuickWin& w : report.quickWins) {
        EXPECT_EQ(w.url.find("/Trash/"), std::string::npos) << w.url;
        EXPECT_FALSE(w.why.empty()) << w.url;
        if (w.within.empty()) top += w.bytes;
    }
    EXPECT_EQ(QuickWins::total(report.quickWins), top);
    const auto win = [&](const std::string& id) {
        return find(report.quickWins, [&](const QuickWin& q) { return q.id == id; });
    };
    for (const char* id : {"cache", "pip", "go-build", "cargo", "trash"}) {
        const QuickWin* w = win(id);
        ASSERT_TRUE(w) << id;
        EXPECT_GE(w->bytes, std::string(id) == "trash" ? 8'000'000 : 1'000'000) << id;
    }
    EXPECT_EQ(win("trash")->url, home.dataHome() + "/Trash");
    for (const char* inside : {"pip", "go-build"}) {
        EXPECT_EQ(win(inside)->within, win("cache")->url) << inside;
        EXPECT_GT(win(inside), win("cache")) << inside; // listed below its parent
    }
    if (!hasGit) GTEST_SKIP() << "git is not installed: the vendored node_modules was not made";
    EXPECT_FALSE(win("node_modules")); // tracked, or in the Trash
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
            EXPECT_EQ(a->relatedPaths, std::vector<std::string>{at(e.related)}) << e.id;
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
    EXPECT_EQ(sandboxed,
              (std::set<std::string>{
                  at(".local/share/flatpak/runtime/org.old.Platform/x86_64/1"),
                  at(".local/share/flatpak/runtime/org.example.Platform.GL.default/x86_64/0"),
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

    // A search by name, trimmed, finds the XDG folders whatever their case.
    const auto named = Uninstaller::leftovers(" NOTES ", " NOTES ", home.home(), nullptr);
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0].id, at(".config/notes"));
    EXPECT_EQ(named[0].url, named[0].id);
    EXPECT_EQ(named[0].reason, "Configuration");
    EXPECT_EQ(named[0].bytes, PathSize::allocated(named[0].id));
    EXPECT_TRUE(Uninstaller::leftovers("", "", home.home(), nullptr).empty());
}

TEST_F(LinuxHome, SparseFileAndVolume) {
    EXPECT_EQ(report.sparse, std::vector<std::string>{at("vm/disk.img")});
    EXPECT_TRUE(report.truth); // its slices are the volume accounting tests'
    EXPECT_TRUE(report.snapshots.empty());
}

struct LinuxTruthCase {
    const char* what;
    std::int64_t available, reserved, trash;
    std::int64_t scannedIn;
    bool trashInScan;
    std::int64_t scanned, system, reservedSlice, purgeable, free;
};

TEST(VolumeAccounting, ReservedBlocksAndTheTrashAreSlicesOfTheirOwn) {
    // Capacity 1000 throughout.
    const LinuxTruthCase cases[] = {
        {"reserve leaves outside-scan", 300, 50, 0, 200, false, 200, 450, 50, 0, 300},
        {"trash inside the scan counts once", 300, 50, 100, 400, true, 300, 250, 50, 100, 300},
        {"trash elsewhere on the volume", 300, 50, 100, 400, false, 400, 150, 50, 100, 300},
        {"reserve larger than used", 900, 500, 0, 0, false, 0, 0, 100, 0, 900},
        {"trash larger than what is left", 300, 600, 500, 0, false, 0, 0, 600, 100, 300},
        {"scan beyond used space", 300, 50, 0, 5000, false, 650, 0, 50, 0, 300},
    };
    for (const auto& c : cases) {
        VolumeSnapshot v{
            "/home/u",   "/home",    1000,    c.available, c.available,
            c.available, c.reserved, "/home", c.trash,     {"/home/u/.local/share/Trash"}};
        const auto root = c.trashInScan ? std::string("/home/u") : std::string("/home/u/src");
        const TruthModel m = VolumeAccounting::truth(v, c.scannedIn, 0, root);
        std::map<TruthSliceID, std::int64_t> bytes;
        std::int64_t sum = 0;
        for (const auto& s : m.slices) {
            bytes[s.id] = s.bytes;
            sum += s.bytes;
        }
        EXPECT_EQ(sum, 1000) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::scanned], c.scanned) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::system], c.system) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::reserved], c.reservedSlice) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::purgeable], c.purgeable) << c.what;
        EXPECT_EQ(bytes[TruthSliceID::free], c.free) << c.what;
        EXPECT_EQ(m.slices[3].label, "Trash") << c.what; // after scanned, system, reserved
    }
}

// The Trash of a deleted project holds tens of thousands of entries; all of
// them count. The interface thread asks only for the last measure.
TEST(VolumeAccounting, MeasuresTheWholeTrashAndOtherwiseGivesItsLastMeasure) {
    test::TempHome home;
    const std::string trash = home.dataHome() + "/Trash";
    for (int i = 0; i < 20'000; ++i)
        test::makeDirs(trash + "/files/d" + std::to_string(i));
    // Listed after all 20,000 folders beside it.
    test::putSized(trash + "/files/project/big.bin", 300'000);
    test::makeDirs(trash + "/info");

    const auto before =
        VolumeAccounting::read(home.home(), VolumeAccounting::TrashMeasure::lastKnown);
    ASSERT_TRUE(before.ok()) << before.error().message;
    EXPECT_TRUE(before->trashPending);
    EXPECT_EQ(before->trashBytes, 0); // never measured

    const auto now = VolumeAccounting::read(home.home());
    ASSERT_TRUE(now.ok());
    EXPECT_GE(now->trashBytes, 300'000);
    EXPECT_FALSE(now->trashPending);
    EXPECT_FALSE(now->mountPoint.empty());
    EXPECT_GT(now->capacity, 0);
    EXPECT_GE(now->reserved, 0);
    EXPECT_EQ(now->trashFolders, std::vector<std::string>{trash});
    EXPECT_FALSE(VolumeAccounting::read(home.home() + "/no/such/place").ok());

    // Something more goes in: the last measure stands, marked, until measured.
    test::putSized(trash + "/files/more.bin", 500'000);
    const auto stale =
        VolumeAccounting::read(home.home(), VolumeAccounting::TrashMeasure::lastKnown);
    ASSERT_TRUE(stale.ok());
    EXPECT_TRUE(stale->trashPending);
    EXPECT_EQ(stale->trashBytes, now->trashBytes);
    std::stop_source stopped;
    stopped.request_stop();
    VolumeAccounting::measureTrash(stale->trashFolders, stopped.get_token()); // keeps nothing
    EXPECT_TRUE(VolumeAccounting::read(home.home(), VolumeAccounting::TrashMeasure::lastKnown)
                    ->trashPending);
    VolumeAccounting::measureTrash(stale->trashFolders);
    const auto measured =
        VolumeAccounting::read(home.home(), VolumeAccounting::TrashMeasure::lastKnown);
    ASSERT_TRUE(measured.ok());
    EXPECT_FALSE(measured->trashPending);
    EXPECT_GE(measured->trashBytes, now->trashBytes + 500'000);
    // Read without asking for the last measure, the Trash is measured again.
    test::putSized(trash + "/files/last.bin", 200'000);
    EXPECT_GE(VolumeAccounting::read(home.home())->trashBytes, measured->trashBytes + 200'000);
}

TEST(SnapshotService, SnapperAndTimeshiftFoldersComeFirstThenTheTools) {
    test::TempDir volume;
    test::put(volume / ".snapshots/1/info.xml",
              "<?xml version=\"1.0\"?>\n<snapshot>\n  <type>single</type>\n  <num>1</num>\n"
              "  <date>2024-03-01 10:00:00</date>\n  <description>first root filesystem"
              "</description>\n</snapshot>\n");
    test::put(volume / ".snapshots/2/info.xml", "<snapshot><num>x</num></snapshot>"); // broken
    test::makeDirs(volume / "timeshift-btrfs/snapshots/2024-03-02_11-30-00");
    test::FakeRunner tools;
    tools.answers["/usr/sbin/zfs"] = {"tank/home@daily\t123456\t1700000000\nnot a snapshot\n", 0};
    // This folder's volume stands for vg0/root; vg1/home's snapshot is another volume's.
    struct stat st {};
    ASSERT_EQ(::stat(volume.path().c_str(), &st), 0);
    const std::string device =
        std::to_string(major(st.st_dev)) + "|" + std::to_string(minor(st.st_dev));
    tools.answers["/usr/sbin/lvs"] = {
        "  root|vg0||50000000|2024-01-01 00:00:00 +0000|" + device + "\n" +
            "  snap1|vg0|root|8000000|2024-02-01 12:00:00 +0000|-1|-1\n"
            "  home|vg1||1|2024-01-01 00:00:00 +0000|4095|4095\n"
            "  snap2|vg1|home|1|2024-02-01 12:00:00 +0000|-1|-1\n",
        0};
    tools.answers["/usr/bin/btrfs"] = {"ID 300 gen 9 top level 5 otime x path should-not-run\n", 0};
    const auto list = SnapshotService::listVolume(volume.path(), tools);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].name, "Snapper #1 first root filesystem");
    EXPECT_EQ(list[1].name, "Timeshift 2024-03-02_11-30-00");
    EXPECT_EQ(list[2].name, "tank/home@daily");
    EXPECT_EQ(list[3].name, "vg0/snap1 of root");
    EXPECT_EQ(list[0].date, "2024-03-01 10:00:00");
    EXPECT_EQ(list[1].date, "2024-03-02 11:30:00");
    EXPECT_EQ(list[2].bytes, 123456);
    EXPECT_EQ(list[2].date, "2023-11-14 22:13:20");
    EXPECT_EQ(list[3].bytes, 8000000);
    EXPECT_FALSE(list[0].bytes);
    EXPECT_EQ(list[0].id, list[0].raw);
    // The btrfs listing is asked only when the folders show nothing.
    EXPECT_EQ(std::count(tools.started.begin(), tools.started.end(), "/usr/bin/btrfs"), 0);
    // ZFS is asked for the scanned volume's dataset only.
    EXPECT_EQ(tools.arguments["/usr/sbin/zfs"].back(), volume.path());
}

TEST(SnapshotService, BtrfsListingWhenNoFolderSaysAnythingRefusalsAreQuietAndHungToolsStopped) {
    test::TempDir volume;
    test::FakeRunner tools;
    tools.answers["/usr/bin/btrfs"] = {
        "ID 257 gen 10 cgen 10 top level 5 otime 2024-01-02 03:04:05 path snaps/one\n", 0};
    tools.answers["/usr/sbin/zfs"] = {"", 1}; // "no datasets available"
    const auto list = SnapshotService::listVolume(volume.path(), tools);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "snaps/one");
    EXPECT_EQ(list[0].date, "2024-01-02 03:04:05");
    EXPECT_TRUE(SnapshotService::listVolume(volume.path(), test::FakeRunner()).empty());
    // A hung tool is stopped after its time limit.
    test::FakeRunner hung;
    hung.hang = true;
    hung.answers["/usr/sbin/zfs"] = {"tank@x\t1\t1\n", 0};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(SnapshotService::listVolume(volume.path(), hung).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

std::vector<std::string> lines(const std::vector<SnapshotInfo>& s) {
    std::vector<std::string> out;
    for (const auto& i : s) {
        EXPECT_EQ(i.id, i.raw);
        out.push_back(i.raw);
    }
    return out;
}

using Lines = std::vector<std::string>;

TEST(SnapshotService, ParsesOnlySnapshotLinesUnchangedOfValidUtf8) {
    struct Case {
        std::string output;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"Snapshots for disk "
         "/:\r\ncom.apple.TimeMachine.a.local\r\ncom.apple.TimeMachine.b.local\r",
         {"com.apple.TimeMachine.a.local", "com.apple.TimeMachine.b.local"}},
        {"  snap com.apple.TimeMachine.x.local  \n", {"  snap com.apple.TimeMachine.x.local  "}},
        // Every line break the system counts, and no final one.
        {"com.apple.TimeMachine.1\vcom.apple.TimeMachine.2\fcom.apple.TimeMachine.3"
         "\xC2\x85"
         "com.apple.TimeMachine.4\xE2\x80\xA8"
         "com.apple.TimeMachine.5"
         "\xE2\x80\xA9"
         "com.apple.TimeMachine.6",
         {"com.apple.TimeMachine.1", "com.apple.TimeMachine.2", "com.apple.TimeMachine.3",
          "com.apple.TimeMachine.4", "com.apple.TimeMachine.5", "com.apple.TimeMachine.6"}},
        {"com.apple.timemachine.lower\ncom.apple.TimeMachine\n", {}},
        {"", {}},
        {"\n\n\r\n  \n", {}},
        {"com.apple.TimeMachine.\xC3\xA9t\xC3\xA9\n", {"com.apple.TimeMachine.\xC3\xA9t\xC3\xA9"}},
        // Not UTF-8: the whole output counts as empty.
        {"com.apple.TimeMachine.a\ncom.apple.TimeMachine.\xFF\n", {}},
        {"com.apple.TimeMachine.\xC0\xAF\n", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lines(SnapshotService::parseListing(c.output)), c.expected) << c.output;
    // Unicode white space is trimmed, UTF-8 validated.
    EXPECT_EQ(text::trimmed(" \t\nFoo Bar\r\n"), "Foo Bar");
    EXPECT_EQ(text::trimmed("\xC2\xA0\xE2\x80\xA8"
                            "Foo\xE3\x80\x80"),
              "Foo");
    EXPECT_EQ(text::trimmed("\xFF Foo \xFF"), "\xFF Foo \xFF");
    EXPECT_EQ(text::trimmed("   "), "");
    EXPECT_TRUE(text::isValidUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(text::isValidUtf8("\xED\xA0\x80"));     // a surrogate
    EXPECT_FALSE(text::isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(text::isValidUtf8("\xE2\x82"));         // cut short
}

TEST(SnapshotService, RunsTheUtilityAndFailsQuietly) {
    test::FakeRunner runner;
    EXPECT_TRUE(SnapshotService::listLocal(runner).empty()); // cannot be started
    runner.answers["/usr/bin/tmutil"] = {"Snapshots:\ncom.apple.TimeMachine.z.local\n", 1};
    EXPECT_EQ(lines(SnapshotService::listLocal(runner)), (Lines{"com.apple.TimeMachine.z.local"}));
    EXPECT_EQ(runner.arguments[std::string(SnapshotService::tool)],
              (Lines{"listlocalsnapshots", "/"}));
}

} // namespace
} // namespace tb
