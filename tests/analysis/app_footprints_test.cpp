#include <algorithm>

#include <gtest/gtest.h>

#include "analysis/ghost_catalog.h"
#include "analysis/path_size.h"
#include "analysis/storage_insights.h"
#include "analysis/uninstaller.h"
#include "support/temp_dir.h"
#include "support/platform_fakes.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using test::TempDir;
using test::TreeBuilder;

void makeBundle(const std::string& path, const std::string& body) {
    test::put(path + "/Contents/Info.plist", test::plist(body));
    test::putSized(path + "/Contents/MacOS/bin", 20'000);
}

TEST(GhostCatalog, LeftoverSpotsTrimAndSkipRepeats) {
    const auto spots = GhostCatalog::leftoverSpots(" Foo\n", "\tFoo ", "/h");
    std::vector<std::string> urls;
    for (const auto& s : spots)
        urls.push_back(s.url);
    EXPECT_EQ(urls,
              (std::vector<std::string>{"/h/Library/Application Support/Foo", "/h/Library/Logs/Foo",
                                        "/h/Library/Caches/Foo", "/h/Library/Preferences/Foo.plist",
                                        "/h/Library/Containers/Foo",
                                        "/h/Library/Saved Application State/Foo.savedState"}));

    const auto both = GhostCatalog::leftoverSpots("N", "com.x", "/h");
    ASSERT_EQ(both.size(), 7u);
    EXPECT_EQ(both[6], (GhostCatalog::LeftoverSpot{"/h/Library/Application Support/com.x",
                                                   "Application support"}));
    EXPECT_EQ(GhostCatalog::leftoverSpots("", "com.x", "/h").size(), 5u);
    EXPECT_EQ(GhostCatalog::leftoverSpots("N", " ", "/h").size(), 2u);
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

TEST_F(AppsInHome, FootprintUsesDisplayNameAndExistingLocations) {
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

TEST_F(AppsInHome, LeftoversForATrimmedQuery) {
    const auto found = Uninstaller::leftovers("  Foo ", "  Foo ", home, nullptr);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, home + "/Library/Application Support/Foo");
    EXPECT_EQ(found[0].url, found[0].id);
    EXPECT_EQ(found[0].reason, "Application support");
    EXPECT_EQ(found[0].bytes, PathSize::allocated(found[0].id));
    EXPECT_TRUE(Uninstaller::leftovers("", "", home, nullptr).empty());
}

TEST_F(AppsInHome, GraphListsAppLocationsThenOrphans) {
    const ScanForest forest = test::scanFolder(apps.path());
    const auto found = Uninstaller::graph(*forest.root(), forest.nodes(), home, {}, applications);
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& l : found)
        got.emplace_back(l.id.substr(home.size()), l.reason);
    const std::string orphan(Uninstaller::orphanReason);
    // The bundle name, not the display name, and the identifier; Foo itself
    // is no app's name here, so it is an orphan like Bar. The identifier's
    // folder and the installed app's folder are not.
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

TEST(StorageInsights, KeepsThe120LargestBundles) {
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
    for (std::size_t i = 1; i < footprints.size(); ++i) {
        EXPECT_GE(footprints[i - 1].appBytes, footprints[i].appBytes);
    }
    EXPECT_EQ(footprints.back().appBytes, 1030); // sizes 1000..1149, top 120
    // Without an Info.plist: the file name and the unknown identifier.
    EXPECT_EQ(footprints[0].appBytes, 1149);
    EXPECT_EQ(footprints[0].name.rfind("App", 0), 0u);
    EXPECT_EQ(footprints[0].name.find('.'), std::string::npos);
    EXPECT_EQ(footprints[0].bundleID, "Unknown bundle");
    EXPECT_TRUE(footprints[0].relatedPaths.empty());
}

} // namespace
} // namespace tb
