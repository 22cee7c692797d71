#include "platform/trash.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>

#include "base/path.h"
#include "platform/file_system.h"
#include "platform/process_runner.h"
#include "support/temp_dir.h"
#include "support/second_user.h"
#include "trash_reader.h"

namespace tb {
namespace {

using platform::FreedesktopTrash;
using test::readFile;
using test::readTrash;
using test::TrashEntry;
using namespace std::string_literals;

std::string real(const std::string& path) {
    return platform::FileSystem::resolved(path);
}

const std::string uid = std::to_string(::geteuid());

const TrashEntry* entryNamed(const std::vector<TrashEntry>& entries, const std::string& name) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const TrashEntry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

class TrashTest : public ::testing::Test {
protected:
    std::string trashRoot() const { return home.dataHome() + "/Trash"; }

    test::TempHome home;
    test::TempDir work;
    FreedesktopTrash trash;
};

TEST_F(TrashTest, AwkwardNamesAreEncodedAndReadBack) {
    const std::string names[] = {"100% sure", "two words", "line\nbreak", "bad\xff\xfe utf8",
                                 "caf\xc3\xa9 #1?&=+.txt"};
    for (const auto& name : names) {
        const std::string path = work / name;
        test::writeFile(path, "contents of " + name);
        auto trashed = trash.moveToTrash(path);
        ASSERT_TRUE(trashed.ok()) << trashed.error().message;
        EXPECT_EQ(*trashed, trashRoot() + "/files/" + name);
        EXPECT_FALSE(test::exists(path));
        EXPECT_EQ(readFile(*trashed), "contents of " + name);
    }
    const auto entries = readTrash(trashRoot());
    ASSERT_EQ(entries.size(), std::size(names));
    const std::regex date(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)");
    for (const auto& name : names) {
        const TrashEntry* e = entryNamed(entries, name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_TRUE(e->hasHeader);
        EXPECT_EQ(e->originalPath, real(work.path()) + "/" + name);
        EXPECT_TRUE(std::regex_match(e->deletionDate, date)) << e->deletionDate;
    }
    // Nothing but the safe set appears raw in the file: a newline would end the line.
    const std::string raw = readFile(trashRoot() + "/info/line\nbreak.trashinfo");
    EXPECT_NE(raw.find("line%0Abreak"), std::string::npos) << raw;
    EXPECT_NE(readFile(trashRoot() + "/info/100% sure.trashinfo").find("100%25%20sure"),
              std::string::npos);
}

TEST_F(TrashTest, SameNamesGetDistinctNamesAndOrphansAreSkipped) {
    test::makeDirs(trashRoot() + "/info");
    test::put(trashRoot() + "/files/notes", "left without an entry");
    std::vector<std::string> trashed;
    for (const char* d : {"a", "b", "c"}) {
        for (const char* f : {"report.pdf", "notes"}) {
            test::put(work / (std::string(d) + "/" + f), d);
            auto r = trash.moveToTrash(work / (std::string(d) + "/" + f));
            ASSERT_TRUE(r.ok()) << r.error().message;
            trashed.push_back(std::string(platform::FileSystem::resolved(*r)));
        }
    }
    const std::string files = trashRoot() + "/files/";
    EXPECT_EQ(trashed, (std::vector<std::string>{files + "report.pdf", files + "notes.2",
                                                 files + "report.2.pdf", files + "notes.3",
                                                 files + "report.3.pdf", files + "notes.4"}));
    EXPECT_EQ(readFile(files + "notes"), "left without an entry");
    const auto entries = readTrash(trashRoot());
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entryNamed(entries, "report.2.pdf")->originalPath,
              real(work.path()) + "/b/report.pdf");
    EXPECT_EQ(entryNamed(entries, "notes.4")->originalPath, real(work.path()) + "/c/notes");
    EXPECT_EQ(readFile(files + "notes.4"), "c");
}

TEST_F(TrashTest, LongNamesAreShortenedWithinTheNameLimit) {
    const std::string name = std::string(236, 'x') + "\xc3\xa9\xc3\xa9\xc3\xa9" + ".dat"; // 246
    const std::string path = work / name;
    test::writeFile(path, "long");
    auto r = trash.moveToTrash(path);
    ASSERT_TRUE(r.ok()) << r.error().message;
    const auto entries = readTrash(trashRoot());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].originalPath, real(work.path()) + "/" + name);
    EXPECT_LE(entries[0].name.size() + 10, 255u);
    // Cut on a character boundary: the shortened name stays valid UTF-8.
    EXPECT_EQ(entries[0].name, std::string(236, 'x') + "\xc3\xa9");
}

TEST_F(TrashTest, FolderGoesAndComesBackWithoutAnEntryLeft) {
    test::put(work / "project/src/main.c", "int main(){}");
    auto r = trash.moveToTrash(work / "project/");
    ASSERT_TRUE(r.ok()) << r.error().message;
    EXPECT_EQ(readFile(*r + "/src/main.c"), "int main(){}");
    test::writeFile(trashRoot() + "/directorysizes",
                    "4096 1700000000 other%20folder\n8192 1700000001 project\n");

    ASSERT_TRUE(trash.putBack(*r, work / "project").ok());
    EXPECT_EQ(readFile(work / "project/src/main.c"), "int main(){}");
    EXPECT_TRUE(readTrash(trashRoot()).empty());
    EXPECT_FALSE(test::exists(*r));
    EXPECT_EQ(readFile(trashRoot() + "/directorysizes"), "4096 1700000000 other%20folder\n");
}

// Missing parents come back closed to others; a link on the way leads where it led.
TEST_F(TrashTest, PutBackRecreatesMissingParentsAndFollowsLinksAsWhenTrashed) {
    test::put(work / "a/b/file", "x");
    ASSERT_EQ(::chmod((work / "a").c_str(), 0700), 0);
    test::put(work / "real/dir/file", "y");
    ASSERT_EQ(::symlink((work / "real").c_str(), (work / "alias").c_str()), 0);
    auto r = trash.moveToTrash(work / "a/b/file");
    auto viaLink = trash.moveToTrash(work / "alias/dir/file");
    ASSERT_TRUE(r.ok() && viaLink.ok());
    ASSERT_EQ(::rmdir((work / "a/b").c_str()), 0);
    ASSERT_EQ(::rmdir((work / "a").c_str()), 0);
    ASSERT_TRUE(trash.putBack(*r, work / "a/b/file").ok());
    EXPECT_EQ(readFile(work / "a/b/file"), "x");
    EXPECT_EQ(test::modeOf(work / "a"), 0700u);
    EXPECT_EQ(test::modeOf(work / "a/b"), 0700u);
    ASSERT_TRUE(trash.putBack(*viaLink, work / "alias/dir/file").ok());
    EXPECT_EQ(readFile(work / "real/dir/file"), "y");
}

// The victim trashes shared/proj/notes.txt, then proj; another puts something in its place.
TEST_F(TrashTest, PutBackStopsAtAPlantedParent) {
    ASSERT_EQ(::chmod(work.path().c_str(), 0755), 0);
    const std::string shared = real(work / "shared");
    test::makeDirs(shared + "/proj");
    test::makeDirs(work / "evil");
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(::chmod((work / "evil").c_str(), 0777), 0);
    // What the other user plants with a shell command, and the refusal.
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"link", "ln -s " + work / "evil" + " " + shared + "/proj",
         shared + "/proj is now a link, so the item was not put back. It stays in the Trash."},
        {"foreign folder", "mkdir -m 777 " + shared + "/proj",
         shared + "/proj belongs to another user, so the item was not put back. It stays in "
                  "the Trash."},
    };
    for (const auto& [what, plant, message] : cases) {
        test::makeDirs(shared + "/proj");
        test::writeFile(shared + "/proj/notes.txt", what);
        auto notes = trash.moveToTrash(shared + "/proj/notes.txt");
        auto proj = trash.moveToTrash(shared + "/proj");
        ASSERT_TRUE(notes.ok() && proj.ok());
        if (test::canActAsSecondUser()) {
            ASSERT_TRUE(test::runAsSecondUser(plant)) << plant;
        } else if (std::string(what) == "link") {
            ASSERT_EQ(std::system(plant.c_str()), 0); // the same state, planted by us
        } else {
            continue; // a folder of another user needs root to make
        }
        auto r = trash.putBack(*notes, shared + "/proj/notes.txt");
        ASSERT_FALSE(r.ok()) << what;
        EXPECT_EQ(r.error().message, message);
        EXPECT_EQ(readFile(*notes), what);
        EXPECT_FALSE(test::exists(work / "evil/notes.txt"));
        std::system(("rm -rf " + shared + "/proj").c_str());
    }
    if (!test::canActAsSecondUser())
        GTEST_SKIP() << "the foreign-folder case needs root and setpriv to act as uid 65534";
}

TEST_F(TrashTest, PutBackNeverReplacesWhatIsThereNow) {
    test::writeFile(work / "doc.txt", "old");
    test::makeDirs(work / "folder");
    auto file = trash.moveToTrash(work / "doc.txt");
    auto folder = trash.moveToTrash(work / "folder");
    ASSERT_TRUE(file.ok() && folder.ok());
    const std::string newer = "newer\0bytes\xff"s;
    test::writeFile(work / "doc.txt", newer);
    test::makeDirs(work / "folder"); // an empty folder: a plain rename would replace it
    for (const auto& [trashed, original] :
         {std::pair{*file, work / "doc.txt"}, std::pair{*folder, work / "folder"}}) {
        auto refused = trash.putBack(trashed, original);
        ASSERT_FALSE(refused.ok()) << original;
        EXPECT_EQ(refused.error().message,
                  "An item now exists at " + real(original) + "; move it away and try again.");
    }
    EXPECT_EQ(readFile(work / "doc.txt"), newer);
    EXPECT_EQ(readFile(*file), "old");
    EXPECT_TRUE(test::exists(*folder));
    EXPECT_EQ(readTrash(trashRoot()).size(), 2u);
}

TEST_F(TrashTest, RefusesTheFolderHoldingTheTrashAndMissingItems) {
    auto r = trash.moveToTrash(home.home());
    ASSERT_FALSE(r.ok());
    EXPECT_FALSE(r.error().message.empty());
    EXPECT_TRUE(test::exists(home.dataHome()));
    EXPECT_TRUE(readTrash(trashRoot()).empty());
    auto missing = trash.moveToTrash(work / "nothing");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message, "No such file or directory");

    // A missing data folder is made, never the working directory used.
    test::ScopedEnv data("XDG_DATA_HOME", home.home() + "/fresh/share");
    test::writeFile(work / "f", "x");
    auto made = trash.moveToTrash(work / "f");
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_EQ(*made, home.home() + "/fresh/share/Trash/files/f");
    EXPECT_EQ(readTrash(home.home() + "/fresh/share/Trash").size(), 1u);
}

// Another volume, stood in by a folder the fake reports as its own mount.
class OtherVolumeTrashTest : public ::testing::Test {
protected:
    OtherVolumeTrashTest()
        : top(real(work / "volume")),
          trash(platform::TrashVolumes{[](const std::string&, const std::string&) { return false; },
                                       [this](const std::string&) { return top; }}) {}
    void SetUp() override { test::makeDirs(top + "/docs"); }

    test::TempHome home;
    test::TempDir work;
    std::string top;
    FreedesktopTrash trash;
};

TEST_F(OtherVolumeTrashTest, UsesTopDirectoryTrashWithRelativePathElseLeavesTheItem) {
    test::writeFile(top + "/docs/a b%.txt", "x");
    const std::string root = top + "/.Trash-" + uid;
    test::writeFile(root, "not a folder");
    auto refused = trash.moveToTrash(top + "/docs/a b%.txt");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, "No usable Trash on this volume: Not a directory");
    EXPECT_EQ(readFile(top + "/docs/a b%.txt"), "x");
    EXPECT_TRUE(readTrash(home.dataHome() + "/Trash").empty());

    ASSERT_EQ(::unlink(root.c_str()), 0);
    auto r = trash.moveToTrash(top + "/docs/a b%.txt");
    ASSERT_TRUE(r.ok()) << r.error().message;
    EXPECT_EQ(*r, root + "/files/a b%.txt");
    EXPECT_EQ(test::modeOf(root), 0700u);
    EXPECT_NE(readFile(root + "/info/a b%.txt.trashinfo").find("Path=docs/a%20b%25.txt\n"),
              std::string::npos);
    const auto entries = readTrash(root, top);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].originalPath, top + "/docs/a b%.txt");
    EXPECT_TRUE(readTrash(home.dataHome() + "/Trash").empty());

    ASSERT_TRUE(trash.putBack(*r, entries[0].originalPath).ok());
    EXPECT_EQ(readFile(top + "/docs/a b%.txt"), "x");
    EXPECT_TRUE(readTrash(root, top).empty());
}

TEST_F(OtherVolumeTrashTest, SharedTrashOnlyWhenARealStickyFolder) {
    test::writeFile(top + "/docs/one", "1");
    test::writeFile(top + "/docs/two", "2");
    test::makeDirs(work / "sticky-elsewhere");
    ASSERT_EQ(::chmod((work / "sticky-elsewhere").c_str(), 01777), 0);
    ASSERT_EQ(::symlink((work / "sticky-elsewhere").c_str(), (top + "/.Trash").c_str()), 0);
    auto viaLink = trash.moveToTrash(top + "/docs/one");
    ASSERT_TRUE(viaLink.ok());
    EXPECT_EQ(*viaLink, top + "/.Trash-" + uid + "/files/one");

    ASSERT_EQ(::unlink((top + "/.Trash").c_str()), 0);
    test::makeDirs(top + "/.Trash");
    ASSERT_EQ(::chmod((top + "/.Trash").c_str(), 01777), 0);
    auto shared = trash.moveToTrash(top + "/docs/two");
    ASSERT_TRUE(shared.ok());
    EXPECT_EQ(*shared, top + "/.Trash/" + uid + "/files/two");
    EXPECT_EQ(readTrash(top + "/.Trash/" + uid, top)[0].originalPath, top + "/docs/two");
}

// Another user who can write into our part of a shared Trash could read or remove what goes
// there: it is passed over for .Trash-$uid, and when that fails as well nothing moves.
TEST_F(OtherVolumeTrashTest, SharedTrashOthersCanReachIsPassedOver) {
    ASSERT_EQ(::chmod(work.path().c_str(), 0755), 0);
    const std::string part = ".Trash/" + uid, own = ".Trash-" + uid;
    // What, planted by the other user (needs root), the shell command run in
    // the volume's top directory, and whether the item moves to .Trash-$uid.
    const std::tuple<const char*, bool, std::string, bool> cases[] = {
        {"open to all", true, "mkdir -p -m 777 " + part + "/files " + part + "/info", true},
        {"ours but open", false,
         "mkdir -p " + part + "/files " + part + "/info && chmod 777 " + part + "/info", true},
        {"files group-writable", false,
         "mkdir -p " + part + "/files " + part + "/info && chmod 770 " + part + "/files", true},
        {"a link", false, "mkdir -p elsewhere/files elsewhere/info && ln -s ../elsewhere " + part,
         true},
        // Without the sticky bit anyone may rename our part away and put their own in.
        {"not sticky", false,
         "chmod 777 .Trash && mkdir -p -m 700 " + part + " " + part + "/files " + part + "/info",
         true},
        {"both planted", true,
         "mkdir -p -m 777 " + part + "/files " + part + "/info " + own + "/files " + own + "/info",
         false},
    };
    int n = 0;
    for (const auto& [what, planted, command, moves] : cases) {
        top = real(work / ("vol" + std::to_string(++n)));
        test::put(top + "/private/diary.txt", "dear diary");
        test::makeDirs(top + "/.Trash");
        ASSERT_EQ(::chmod(top.c_str(), 0777), 0);
        ASSERT_EQ(::chmod((top + "/.Trash").c_str(), 01777), 0);
        ASSERT_EQ(::chmod((top + "/private").c_str(), 0700), 0);
        const std::string plant = "cd " + top + " && " + command;
        if (planted) {
            if (!test::canActAsSecondUser()) continue;
            ASSERT_TRUE(test::runAsSecondUser(plant)) << what;
        } else {
            ASSERT_EQ(std::system(plant.c_str()), 0) << what;
        }
        auto r = trash.moveToTrash(top + "/private/diary.txt");
        EXPECT_TRUE(readTrash(top + "/.Trash/" + uid, top).empty()) << what;
        if (moves) {
            ASSERT_TRUE(r.ok()) << what << ": " << r.error().message;
            EXPECT_EQ(*r, top + "/.Trash-" + uid + "/files/diary.txt") << what;
        } else {
            ASSERT_FALSE(r.ok()) << what;
            EXPECT_EQ(r.error().message, "No usable Trash on this volume: " + top + "/.Trash-" +
                                             uid + " belongs to another user");
            EXPECT_EQ(readFile(top + "/private/diary.txt"), "dear diary");
        }
    }
    if (!test::canActAsSecondUser())
        GTEST_SKIP() << "cases planted by another user need root and setpriv to act as uid 65534";
}

// The home Trash may link to another disk: each item goes to its own volume's
// Trash (beside the data folder, the top-directory one), never a copy.
class HomeTrashElsewhereTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::makeDirs(disk + "/Trash");
        test::makeDirs(home.dataHome());
        ASSERT_EQ(::symlink((disk + "/Trash").c_str(), (home.dataHome() + "/Trash").c_str()), 0);
        test::put(home.home() + "/notes.txt", "home");
        test::put(disk + "/docs/report", "disk");
    }

    test::TempHome home;
    test::TempDir work;
    std::string disk = real(work / "disk");
};

TEST_F(HomeTrashElsewhereTest, EachItemGoesToTheTrashOnItsOwnVolume) {
    const std::string homeTop = real(home.home());
    auto volumeOf = [this, homeTop](const std::string& p) {
        return Path::isSameOrInside(real(p), disk) ? disk : homeTop;
    };
    FreedesktopTrash trash(
        platform::TrashVolumes{[volumeOf](const std::string& item, const std::string& folder) {
                                   return volumeOf(Path::parent(item)) == volumeOf(folder);
                               },
                               volumeOf});

    auto fromHome = trash.moveToTrash(home.home() + "/notes.txt");
    ASSERT_TRUE(fromHome.ok()) << fromHome.error().message;
    EXPECT_EQ(*fromHome, homeTop + "/.Trash-" + uid + "/files/notes.txt");
    const auto homeEntries = readTrash(homeTop + "/.Trash-" + uid, homeTop);
    ASSERT_EQ(homeEntries.size(), 1u);
    EXPECT_EQ(homeEntries[0].originalPath, homeTop + "/notes.txt");

    auto fromDisk = trash.moveToTrash(disk + "/docs/report");
    ASSERT_TRUE(fromDisk.ok()) << fromDisk.error().message;
    EXPECT_EQ(*fromDisk, home.dataHome() + "/Trash/files/report");
    const auto entries = readTrash(disk + "/Trash");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].originalPath, disk + "/docs/report");
    EXPECT_FALSE(test::exists(disk + "/.Trash-" + uid));

    ASSERT_TRUE(trash.putBack(*fromHome, home.home() + "/notes.txt").ok());
    ASSERT_TRUE(trash.putBack(*fromDisk, disk + "/docs/report").ok());
    EXPECT_EQ(readFile(home.home() + "/notes.txt"), "home");
    EXPECT_EQ(readFile(disk + "/docs/report"), "disk");
}

// The same on two real tmpfs mounts, in a child's own mount namespace.
TEST_F(HomeTrashElsewhereTest, OnRealMountsNothingCrossesADevice) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string homeVolume = real(work / "home-volume");
    test::makeDirs(homeVolume);
    const std::string outcome = test::inChild([&]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return "no mount namespace";
        }
        for (const std::string& at : {homeVolume, disk})
            if (::mount("tarnbeck-test", at.c_str(), "tmpfs", 0, "mode=0755") != 0)
                return "no tmpfs";
        const std::string dataHome = homeVolume + "/me/.local/share";
        test::makeDirs(dataHome);
        test::makeDirs(disk + "/Trash");
        test::put(homeVolume + "/me/notes.txt", "home");
        test::put(disk + "/docs/report", "disk");
        if (::symlink((disk + "/Trash").c_str(), (dataHome + "/Trash").c_str()) != 0)
            return "no link";
        ::setenv("HOME", (homeVolume + "/me").c_str(), 1);
        ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        FreedesktopTrash trash;
        std::string out;
        for (const std::string& item : {homeVolume + "/me/notes.txt", disk + "/docs/report"}) {
            auto r = trash.moveToTrash(item);
            out += (r.ok() ? *r : r.error().message) + "\n";
            if (r.ok()) out += trash.putBack(*r, item).ok() ? "back\n" : "stuck\n";
        }
        return out;
    });
    if (outcome == "no mount namespace" || outcome == "no tmpfs") GTEST_SKIP() << outcome;
    EXPECT_EQ(outcome, homeVolume + "/.Trash-" + uid + "/files/notes.txt\nback\n" + homeVolume +
                           "/me/.local/share/Trash/files/report\nback\n");
}

// Root ignores permissions: these run the trash in a child dropped to "nobody".
std::string trashAsNobody(const std::string& item, const std::string& homeDir,
                          platform::TrashVolumes volumes) {
    return test::inChildAsNobody([&] {
        ::setenv("HOME", homeDir.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (homeDir + "/.local/share").c_str(), 1);
        auto r = FreedesktopTrash(std::move(volumes)).moveToTrash(item);
        return r.ok() ? "moved to " + *r : r.error().message;
    });
}

TEST(UnprivilegedTrash, ReadOnlyFolderOrVolumeWithoutATrashFailsWithTheSystemsText) {
    test::TempHome parentHome; // in case the child's environment leaks back
    test::TempDir root;
    const std::string homeDir = root / "nobody-home";
    ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0);
    test::makeDirs(homeDir);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(homeDir.c_str(), 65534, 65534), 0);
    }
    test::put(root / "locked/file", "mine");
    ASSERT_EQ(::chmod((root / "locked").c_str(), 0555), 0);
    EXPECT_EQ(trashAsNobody(root / "locked/file", homeDir, platform::TrashVolumes::system()),
              "Permission denied");
    EXPECT_EQ(readFile(root / "locked/file"), "mine");
    EXPECT_TRUE(readTrash(homeDir + "/.local/share/Trash").empty());

    // Another volume without a Trash, nor the right to make one.
    const std::string top = real(root / "volume");
    test::put(top + "/open/file", "mine");
    ASSERT_EQ(::chmod(top.c_str(), 0755), 0);
    ASSERT_EQ(::chmod((top + "/open").c_str(), 0777), 0);
    ASSERT_EQ(::chmod((top + "/open/file").c_str(), 0666), 0);
    platform::TrashVolumes other{[](const std::string&, const std::string&) { return false; },
                                 [top](const std::string&) { return top; }};
    EXPECT_EQ(trashAsNobody(top + "/open/file", homeDir, other),
              "No usable Trash on this volume: Permission denied");
    EXPECT_EQ(readFile(top + "/open/file"), "mine");
}

// trash-cli is an independent reader of the same freedesktop.org Trash format.
TEST_F(TrashTest, TrashCliListsWhatWasTrashedAndNothingAfterRestore) {
    if (::access("/usr/bin/trash-list", X_OK) != 0)
        GTEST_SKIP() << "trash-list (trash-cli) is not installed";
    auto list = [] {
        auto r = platform::systemProcessRunner().run("/usr/bin/trash-list", {});
        return r.ok() ? r->standardOutput : "<trash-list failed>";
    };
    test::writeFile(work / "50% off.txt", "a");
    test::makeDirs(work / "a folder");
    auto file = trash.moveToTrash(work / "50% off.txt");
    auto folder = trash.moveToTrash(work / "a folder");
    ASSERT_TRUE(file.ok() && folder.ok());
    const std::string listed = list();
    EXPECT_NE(listed.find(" " + real(work.path()) + "/50% off.txt\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find(" " + real(work.path()) + "/a folder\n"), std::string::npos) << listed;

    ASSERT_TRUE(trash.putBack(*file, work / "50% off.txt").ok());
    ASSERT_TRUE(trash.putBack(*folder, work / "a folder").ok());
    EXPECT_EQ(list(), "");
}

} // namespace
} // namespace tb
