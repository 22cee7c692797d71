#include <QRadioButton>

#include "tasks_fixture.h"

namespace tb {
namespace {

using namespace tb::test;

using HardLinksUiTest = TasksTest;

QString textOf(QWidget* root, const char* objectName) {
    auto* label = root->findChild<QLabel*>(QString::fromLatin1(objectName));
    return label && label->isVisibleTo(root) ? label->text() : QString();
}

TEST(InspectorText, NamesAndThoseOutsideTheFolder) {
    EXPECT_EQ(InspectorView::namesText(3, 2), "3 names (hard links), 2 outside this folder");
    EXPECT_EQ(InspectorView::namesText(2, 0), "2 names (hard links), all in this folder");
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
