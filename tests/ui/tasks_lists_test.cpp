#include <QRadioButton>

#include "workspace_fixture.h"
#include "ui/tasks/apps_view.h"
#include "ui/tasks/cleanup_view.h"
#include "ui/tasks/duplicates_view.h"

namespace tb {
namespace {

using namespace tb::test;

using CleanupViewTest = TasksTest;

TEST_F(CleanupViewTest, RowsFilterByRiskSayWhyAndQueueOnce) {
    putSized(work() + "/Library/Developer/Xcode/DerivedData/App/a.bin", 1'500'000, 1);
    putSized(work() + "/proj/node_modules/b.bin", 1'400'000, 2);
    putSized(work() + "/proj/package.json", 20, 5);
    CleanupView view(*session);
    EXPECT_TRUE(shows(&view, "Nothing to review"));
    scan(work());
    EXPECT_EQ(shownButtons(&view, "Add to queue").size(), 2u);
    EXPECT_TRUE(shows(&view, "DerivedData"));

    shownButtons(&view, "Review first").at(0)->click();
    EXPECT_EQ(view.filter(), CleanupRisk::review);
    EXPECT_FALSE(shows(&view, "DerivedData"));
    // The row says what identified it and how it comes back, commands set apart.
    EXPECT_TRUE(shows(&view, "Folder named node_modules beside a package.json."));
    const auto labels = view.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QLabel* l) {
        return l->text().startsWith("Comes back: <code>npm install</code> reinstalls it") &&
               l->accessibleName().startsWith("`npm install` reinstalls it from package.json");
    }));
    auto buttons = shownButtons(&view, "Add to queue");
    ASSERT_EQ(buttons.size(), 1u);
    buttons[0]->click();
    ASSERT_EQ(session->staging().items().size(), 1u);
    EXPECT_EQ(session->staging().items()[0].url, work() + "/proj/node_modules");
    EXPECT_EQ(buttons[0]->text(), "Added");
    EXPECT_FALSE(buttons[0]->isEnabled());
    session->staging().remove(session->staging().items()[0]);
    EXPECT_TRUE(buttons[0]->isEnabled());

    view.setFilter(CleanupRisk::caution);
    EXPECT_TRUE(shows(&view, "Nothing to review"));
    EXPECT_FALSE(shownButtons(&view, "All").at(0)->isChecked());
    shownButtons(&view, "All").at(0)->click();
    EXPECT_FALSE(view.filter());
    EXPECT_EQ(shownButtons(&view, "Add to queue").size(), 2u);
    shownButtons(&view, "Open Review Queue").at(0)->click();
    EXPECT_EQ(session->tab(), AppTab::stage);
}

TEST_F(CleanupViewTest, TheMachinesOwnStorageIsShownWithItsCommandAndNeverQueued) {
    putSized(work() + "/proj/node_modules/b.bin", 1'400'000, 2);
    putSized(work() + "/proj/package.json", 20, 5);
    CleanupView view(*session);
    const SystemReclaim apt{"apt-cache", "APT package cache", "12 downloaded package files.",
                            1'800'000'000, "sudo apt clean"};
    session->setSystemReclaims(
        {apt, {"autoremove", "Unneeded packages", "libold.", 70'000, "sudo apt autoremove"}});
    // Before any scan, these are facts of the machine all the same.
    EXPECT_TRUE(shows(&view, "System"));
    EXPECT_TRUE(shows(&view, DiskTheme::bytes(1'800'000'000)));
    EXPECT_TRUE(shows(&view, "sudo apt autoremove"));

    scan(work());
    session->setSystemReclaims({apt});
    EXPECT_TRUE(shows(&view, "sudo apt clean"));
    EXPECT_FALSE(shows(&view, "sudo apt autoremove"));
    EXPECT_EQ(shownButtons(&view, "Add to queue").size(), 1u); // the scan's row only
    view.setFilter(CleanupRisk::caution);
    EXPECT_TRUE(shows(&view, "sudo apt clean"));
}

using AppsViewTest = TasksTest;

TEST_F(AppsViewTest, AppsByNameOrIdentifierDataLeftBehindAndAppsThatCannotStart) {
    put(home.home() + "/apps/Foo.app/Contents/Info.plist",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
        "<key>CFBundleIdentifier</key><string>com.example.forge</string>"
        "<key>CFBundleName</key><string>Foo</string></dict></plist>");
    putSized(home.home() + "/apps/Foo.app/Contents/MacOS/foo", 200'000, 4);
    const std::string spotify = home.home() + "/.var/app/com.spotify.Client";
    putSized(spotify + "/cache/blob", 600'000, 7);
    put(home.home() + "/.local/share/applications/gone.desktop",
        "[Desktop Entry]\nType=Application\nName=Gone Tool\nExec=/opt/gone-tool/run %U\n");
    AppsView view(*session);
    EXPECT_TRUE(shows(&view, "No apps in this scan"));
    scan(home.home());
    EXPECT_TRUE(shows(&view, "com.example.forge"));
    EXPECT_EQ(shownButtons(&view, "Show in Files").size(), 2u);
    EXPECT_TRUE(
        shows(&view, "Cannot start: its program \u201c/opt/gone-tool/run\u201d does not exist."));
    EXPECT_TRUE(shows(&view, "Flatpak com.spotify.Client"));
    EXPECT_TRUE(shows(&view, "Flatpak app data \u2014 no installed Flatpak with this id"));
    auto add = shownButtons(&view, "Add to Review Queue");
    ASSERT_EQ(add.size(), 1u);
    add[0]->click();
    ASSERT_EQ(session->staging().items().size(), 1u);
    EXPECT_EQ(session->staging().items()[0].url, spotify);
    EXPECT_FALSE(add[0]->isEnabled());

    // By name or identifier, ignoring case; a query in neither is a miss.
    for (const auto& [query, shown] :
         {std::pair{"FORGE", true}, {"fOO", true}, {"Foo.forge", false}}) {
        view.setQuery(query);
        EXPECT_EQ(shows(&view, "Foo"), shown) << query;
    }
    EXPECT_FALSE(shows(&view, "Left behind"));
    view.setQuery("spotify");
    EXPECT_FALSE(shows(&view, "Foo"));
    EXPECT_TRUE(shows(&view, "Left behind"));
    EXPECT_FALSE(shows(&view, "No apps in this scan")); // only for a scan without apps
}

using DuplicatesViewTest = TasksTest;

TEST_F(DuplicatesViewTest, GroupOfThreeOffersTwoRowsAndRetainsTheLast) {
    for (const char* dir : {"a", "b", "c"})
        putSized(work() + "/" + dir + "/same.bin", 5000, 7);
    DuplicatesView view(*session);
    scan(work());
    EXPECT_TRUE(shownButtons(&view, "Run Again").empty());
    shownButtons(&view, "Run Full Content Match").at(0)->click();
    EXPECT_EQ(shownButtons(&view, "Matching\u2026").size(), 1u); // nothing ran before
    ASSERT_TRUE(waitUntil([&] { return !session->isFindingDuplicates(); }));
    ASSERT_EQ(session->duplicates().size(), 1u);
    const DuplicateGroup& group = session->duplicates()[0];

    EXPECT_TRUE(shows(&view, "3 identical files"));
    EXPECT_TRUE(shows(&view, DiskTheme::bytes(10'000))); // all but one copy
    DuplicateGroup none;
    none.size = 1000;
    EXPECT_EQ(DuplicatesView::reclaimable(none), 0); // no paths, nothing to free
    EXPECT_TRUE(shows(&view, "The last path is retained by default: "));
    auto add = shownButtons(&view, "Add to queue");
    ASSERT_EQ(add.size(), 2u);
    EXPECT_EQ(shownTexts(&view).count(DiskTheme::displayText(group.paths[2])), 1); // as retained
    add[0]->click();
    ASSERT_EQ(session->staging().items().size(), 1u);
    EXPECT_EQ(session->staging().items()[0].url, group.paths[0]);
    EXPECT_EQ(session->staging().items()[0].reason, DuplicatesView::reason);
    EXPECT_FALSE(add[0]->isEnabled());
    EXPECT_TRUE(add[1]->isEnabled());
    EXPECT_TRUE(shownButtons(&view, "Run Again").at(0)->isEnabled());
}

using ChangesViewTest = TasksTest;

// The difference label of the row that names `name`.
QLabel* deltaOf(QWidget& view, const QString& name) {
    for (TaskRow* row : view.findChildren<TaskRow*>()) {
        if (row->isVisibleTo(&view) && shows(row, name)) return row->findChild<QLabel*>("delta");
    }
    return nullptr;
}

TEST_F(ChangesViewTest, FreedSpaceIsGreenGrowthOrangeAndSmallChangesShowOnRequest) {
    putSized(work() + "/shrinking/big.bin", 3'000'000, 1);
    putSized(work() + "/docs/report.txt", 100'000, 1);
    ChangesView view(*session);
    scan(work());
    EXPECT_TRUE(shows(&view, "No comparable change yet"));
    EXPECT_EQ(view.showSmallerButton(), nullptr);
    scan(work());
    EXPECT_TRUE(shows(&view, "Nothing changed"));

    putSized(work() + "/docs/note.txt", 10'000, 2);
    scan(work());
    EXPECT_TRUE(shows(&view, "No change of 1 MB or more since the previous scan."));
    EXPECT_TRUE(shows(&view, "3 smaller changes not listed"));
    EXPECT_EQ(deltaOf(view, "note.txt"), nullptr);
    ASSERT_NE(view.showSmallerButton(), nullptr);
    view.showSmallerButton()->click();
    ASSERT_NE(deltaOf(view, "note.txt"), nullptr);
    EXPECT_EQ(view.showSmallerButton()->text(), "Hide Them");
    view.showSmallerButton()->click();
    EXPECT_EQ(deltaOf(view, "note.txt"), nullptr);

    ASSERT_EQ(::unlink((work() + "/shrinking/big.bin").c_str()), 0);
    putSized(work() + "/new.bin", 2'000'000, 3);
    scan(work());
    QLabel* shrunk = deltaOf(view, "shrinking");
    QLabel* added = deltaOf(view, "new.bin");
    ASSERT_TRUE(shrunk && added);
    EXPECT_TRUE(shrunk->text().startsWith("-")) << shrunk->text().toStdString();
    EXPECT_EQ(shrunk->palette().color(QPalette::WindowText), DiskTheme::green());
    EXPECT_TRUE(added->text().startsWith("+2.0 MB")) << added->text().toStdString();
    EXPECT_EQ(added->palette().color(QPalette::WindowText), DiskTheme::orange());
}

TEST(ChangesViewText, SmallerChangesSayHowManyAndWhichAreShown) {
    ChangeList list;
    list.smallerCount = 1;
    list.smaller.resize(1);
    EXPECT_EQ(ChangesView::smallerSummary(list, false), "1 smaller change not listed");
    list.smallerCount = 2400;
    list.smaller.resize(160);
    EXPECT_EQ(ChangesView::smallerSummary(list, false), "2,400 smaller changes not listed");
    EXPECT_EQ(ChangesView::smallerSummary(list, true),
              "2,400 smaller changes (under 1 MB, or under 5 % of an item over 20 MB), the "
              "largest 160 shown");
    // Plus for growth and no change, minus for freed space.
    EXPECT_EQ(TaskWidgets::signedBytes(0), "+0 B");
    EXPECT_EQ(TaskWidgets::signedBytes(-3'000'000), "-3.0 MB");
    EXPECT_EQ(TaskWidgets::signedBytes(std::numeric_limits<std::int64_t>::min()).left(1), "-");
}

using HardLinksUiTest = TasksTest;

QString textOf(QWidget* root, const char* objectName) {
    auto* label = root->findChild<QLabel*>(QString::fromLatin1(objectName));
    return label && label->isVisibleTo(root) ? label->text() : QString();
}

// One 3 MB file under three names: two in "a", one in "b".
TEST_F(HardLinksUiTest, InspectorNamesTheLinksAndWhatMovingAFolderFrees) {
    const std::string big = file("a/film.bin", 3'000'000);
    file("b/notes.txt", 20'000);
    ASSERT_EQ(::link(big.c_str(), (work() + "/a/film-copy.bin").c_str()), 0);
    ASSERT_EQ(::link(big.c_str(), (work() + "/b/film.bin").c_str()), 0);
    scan(work());
    InspectorView inspector(*session);
    inspector.resize(320, 600);
    const ScanForest& forest = *session->forest();
    const std::int64_t fileBytes = forest.links().file(findNode(forest, big))->allocatedSize;
    session->select(findNode(forest, work() + "/b/film.bin"));
    settle(20);
    // "-" sorts before ".": film-copy.bin is the name that counts.
    EXPECT_EQ(textOf(&inspector, "links").toStdString(),
              "3 names (hard links), 2 outside this folder. Counted once, under " + work() +
                  "/a/film-copy.bin.");
    // Its own size, though it counts 0 in the folder totals.
    EXPECT_TRUE(shows(&inspector, DiskTheme::bytes(fileBytes)));
    EXPECT_EQ(textOf(&inspector, "frees"), "Frees about 0 B");
    EXPECT_EQ(InspectorView::namesText(2, 0), "2 names (hard links), all in this folder");
    // A folder: what moving it frees, and no names line.
    session->select(findNode(forest, work() + "/a"));
    settle(20);
    EXPECT_EQ(textOf(&inspector, "frees"), "Frees about 0 B");
    EXPECT_TRUE(textOf(&inspector, "links").isEmpty());
    session->select(findNode(forest, work()));
    settle(20);
    EXPECT_EQ(textOf(&inspector, "frees"),
              "Frees about " + DiskTheme::bytes(forest.freedBy(findNode(forest, work()))));
}

TEST_F(HardLinksUiTest, SettingsChooseTheCountingOfTheNextScanAndChangesSayWhyNotCompared) {
    SettingsView window(*session), tab(*session);
    auto radio = [](QWidget* view, const char* name) {
        return view->findChild<QRadioButton*>(QString::fromLatin1(name));
    };
    ASSERT_TRUE(radio(&window, "hardLinksOnce") && radio(&tab, "hardLinksEvery"));
    radio(&window, "hardLinksEvery")->click();
    EXPECT_EQ(session->hardLinks(), HardLinkMode::every);
    EXPECT_TRUE(radio(&tab, "hardLinksEvery")->isChecked());

    ChangesView changes(*session);
    file("one.bin");
    scan(work());
    radio(&tab, "hardLinksOnce")->click();
    EXPECT_EQ(session->hardLinks(), HardLinkMode::once);
    EXPECT_TRUE(radio(&window, "hardLinksOnce")->isChecked());
    scan(work());
    settle(20);
    EXPECT_TRUE(shows(&changes, "Scans not compared"));
}

} // namespace
} // namespace tb
