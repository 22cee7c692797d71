#include <sys/stat.h>

#include <map>

#include <QCheckBox>
#include <QListWidget>

#include "desktop/terminal_choice.h"
#include "scan/exclude_rules.h"
#include "session/unreadable_folders.h"
#include "ui/shell/file_actions.h"
#include "ui/shell/truth_bar_view.h"
#include "ui/shell/volumes_view.h"
#include "support/second_user.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

using FilesUi = WorkspaceTest;

// The item menu and F6 refresh a folder in place.
TEST_F(FilesUi, RescanThisFolderFromTheMenuAndF6) {
    scan(tree());
    const std::int64_t big = child(root(), "big")->allocatedSize();
    putSized(tree() + "/big/z.bin", 300'000, 7);
    QWidget parent;
    EXPECT_FALSE(
        action(NodeMenu::build(*session, *child(root(), "a.bin"), &parent), "rescanFolder"));
    QMenu* menu = NodeMenu::build(*session, *child(root(), "big"), &parent);
    ASSERT_TRUE(action(menu, "rescanFolder"));
    EXPECT_EQ(action(menu, "rescanFolder")->shortcut(), QKeySequence(Qt::Key_F6));
    const std::size_t scans = session->history().size();
    action(menu, "rescanFolder")->trigger();
    ASSERT_TRUE(waitUntil([&] { return session->history().size() == scans + 1; }));
    EXPECT_GE(child(root(), "big")->allocatedSize() - big, 300'000);

    // F6 from the Scan menu: the selected item's folder.
    QMenu scanMenu;
    QAction* f6 = FileActions::addRescanFolder(&scanMenu, *session, &parent);
    putSized(tree() + "/mid/n.bin", 500'000, 8);
    session->select(child(child(root(), "mid"), "m.bin"));
    f6->trigger();
    EXPECT_FALSE(f6->isEnabled()); // one refresh at a time
    ASSERT_TRUE(waitUntil([&] { return session->history().size() == scans + 2; }));
    EXPECT_TRUE(f6->isEnabled());
    EXPECT_GE(child(root(), "mid")->allocatedSize(), 700'000);
}

TEST_F(FilesUi, ChangesLetTheUserChooseTheEarlierScan) {
    scan(tree());
    const ScanRecord first = session->history().front();
    scan(tree());
    scan(tree());
    ChangesView view(*session);
    QComboBox* box = view.comparedWithBox();
    ASSERT_TRUE(waitUntil([&] { return box->count() == 2 && box->currentIndex() == 0; }));
    box->setCurrentIndex(1);
    emit box->activated(1);
    ASSERT_TRUE(waitUntil([&] {
        return session->comparedWith() && session->comparedWith()->fileURL == first.fileURL;
    }));
    EXPECT_EQ(box->currentIndex(), 1);
}

TEST_F(FilesUi, EachVolumeIsARowThatScansIt) {
    VolumesView view(*session);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return !session->volumes().empty(); }));
    flush();
    const auto rows = view.findChildren<QPushButton*>(QStringLiteral("volume"));
    ASSERT_EQ(std::size_t(rows.size()), session->volumes().size());

    VolumeRow row;
    row.volume.point = "/";
    EXPECT_EQ(VolumesView::titleText(row), "Computer");
    row.volume.label = "Backup";
    EXPECT_EQ(VolumesView::titleText(row), "Backup");
    row.reading = true;
    EXPECT_TRUE(VolumesView::figuresText(row).startsWith("Waiting"));
    row.reading = false;
    row.space = platform::SpaceFigures{1'000'000'000, 400'000'000, 600'000'000};
    EXPECT_TRUE(VolumesView::figuresText(row).contains("free of"));

    // Choosing one scans at its mount point (the test tree stands in for
    // one: a real volume is too large to scan here) and shows Explore; the
    // rows wait while the scan runs.
    session->scanVolume(tree());
    EXPECT_TRUE(session->isScanning());
    EXPECT_EQ(session->tab(), AppTab::explore);
    for (QPushButton* r : view.findChildren<QPushButton*>(QStringLiteral("volume")))
        EXPECT_FALSE(r->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    EXPECT_EQ(root()->path(), tree());
}

using ExcludeUi = WorkspaceTest;

// "Exclude This Folder" makes a rule that the next scan honours; the row is
// tagged and has no size.
TEST_F(ExcludeUi, ExcludeThisFolderLeavesItOutOfTheNextScan) {
    putSized(tree() + "/.snapshots/1/snapshot/copy.bin", 50'000, 9);
    scan(tree());
    QWidget parent;
    QMenu* menu = NodeMenu::build(*session, *child(root(), "big"), &parent);
    ASSERT_TRUE(action(menu, "excludeThis"));
    EXPECT_EQ(action(menu, "excludeThis")->text(), "Exclude This Folder");
    EXPECT_FALSE(action(menu, "scanMountHere")); // not a mount point
    action(menu, "excludeThis")->trigger();
    EXPECT_EQ(session->excludePatterns().back(), "/big/");
    EXPECT_FALSE(action(NodeMenu::build(*session, *root(), &parent), "excludeThis"));

    scan(tree());
    const ScanNode* big = child(root(), "big");
    EXPECT_EQ(big->leftOut(), LeftOutKind::excluded);
    show(ViewMode::folders);
    auto* model = workspace->folderBrowser()->treeModel();
    auto text = [&](const ScanNode* n, int column) {
        return model->data(model->indexOf(n, column), Qt::DisplayRole).toString();
    };
    EXPECT_EQ(text(big, FolderBrowserView::sizeColumn), "Excluded");
    EXPECT_EQ(text(child(root(), ".snapshots"), FolderBrowserView::sizeColumn),
              "Snapshots (excluded)");
    EXPECT_TRUE(text(big, FolderBrowserView::shareColumn).isEmpty());
    EXPECT_FALSE(action(NodeMenu::build(*session, *big, &parent), "excludeThis"));
}

// The Settings section edits the session's rules, which are remembered.
TEST_F(ExcludeUi, SettingsEditTheRulesAndTheyAreRemembered) {
    SettingsView view(*session);
    auto find = [&](const char* name) {
        return view.findChild<QWidget*>(QString::fromLatin1(name));
    };
    auto* list = static_cast<QListWidget*>(find("excludePatterns"));
    auto* entry = static_cast<QLineEdit*>(find("excludePatternEntry"));
    auto* cross = static_cast<QCheckBox*>(find("crossMounts"));
    ASSERT_TRUE(list && entry && cross && find("addExcludePattern"));
    EXPECT_EQ(list->count(), int(ExcludeRules::snapshotPatterns().size()));
    EXPECT_FALSE(cross->isChecked());
    for (const char* typed : {"  node_modules ", "node_modules"}) { // the second is there already
        entry->setText(QString::fromLatin1(typed));
        static_cast<QPushButton*>(find("addExcludePattern"))->click();
    }
    EXPECT_EQ(list->count(), 4);
    list->item(0)->setSelected(true);
    static_cast<QPushButton*>(find("removeExcludePattern"))->click();
    EXPECT_EQ(session->excludePatterns(),
              (std::vector<std::string>{"timeshift/snapshots", "timeshift-btrfs/snapshots",
                                        "node_modules"}));
    cross->setChecked(true);
    EXPECT_TRUE(session->crossMounts());
    static_cast<QPushButton*>(find("addSnapshotPatterns"))->click();
    EXPECT_EQ(session->excludePatterns().size(), 4u);

    // QSettings keeps the first folder it was given for the whole process:
    // the round trips run in a child, in a folder of their own.
    const std::string config = home.home() + "/rules-config";
    EXPECT_EQ(inChild([&]() -> std::string {
                  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                                     QString::fromStdString(config));
                  const auto wanted = session->excludePatterns();
                  session->setHardLinks(HardLinkMode::every);
                  saveScanRules(*session);
                  session->setExcludePatterns({"other"});
                  session->setCrossMounts(false);
                  session->setHardLinks(HardLinkMode::once);
                  restoreScanRules(*session);
                  std::string out;
                  if (session->excludePatterns() != wanted) out += "patterns not restored\n";
                  if (!session->crossMounts()) out += "crossing not restored\n";
                  if (session->hardLinks() != HardLinkMode::every) out += "hard links lost\n";
                  // Emptied on purpose, the list stays empty: no defaults come back.
                  session->setExcludePatterns({});
                  saveScanRules(*session);
                  session->setExcludePatterns({"other"});
                  restoreScanRules(*session);
                  if (!session->excludePatterns().empty()) out += "empty list not kept\n";
                  return out.empty() ? "ok" : out;
              }),
              "ok");
}

TEST(UnreadableFolders, TheWarningSaysHowManyAndTheListSaysWhichAndWhy) {
    EXPECT_EQ(TruthBarView::unreadableSummary(1).toStdString(),
              "1 folder could not be read; its size is missing.");
    EXPECT_EQ(TruthBarView::unreadableSummary(3).toStdString(),
              "3 folders could not be read; their sizes are missing.");

    TempDir dir;
    makeDirs(dir / "locked");
    makeDirs(dir / "open");
    TreeBuilder b(dir.path());
    b.dir(dir / "open")->setUnreadable(true);   // readable again since
    b.dir(dir / "gone")->setUnreadable(true);   // no longer there
    b.dir(dir / "locked")->setUnreadable(true); // denied, unless we are root
    b.file(dir / "file", 10);
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
    const ScanForest forest = b.forest();
    const auto all = unreadableFolders(forest, 10);
    ASSERT_EQ(all.size(), 3u);
    std::map<std::string, std::string> why;
    for (const auto& f : all)
        why[f.path] = f.reason;
    EXPECT_EQ(why[dir / "gone"], "No such file or directory");
    EXPECT_EQ(why[dir / "open"], "It can be read now; scan again to count it");
    if (::geteuid() != 0) {
        EXPECT_EQ(why[dir / "locked"], "Permission denied");
    }
    ::chmod((dir / "locked").c_str(), 0700);
    EXPECT_EQ(unreadableFolders(forest, 2).size(), 2u);

    const std::vector<UnreadableFolder> two = {{"/a", "Permission denied"}, {"/b", "Gone"}};
    EXPECT_EQ(TruthBarView::unreadableDetails(5, two).toStdString(),
              "/a: Permission denied\n/b: Gone\nand 3 more");
    EXPECT_EQ(TruthBarView::unreadableDetails(2, two).toStdString(),
              "/a: Permission denied\n/b: Gone");
}

TEST(UnreadableFolders, AScanByAUserTheFolderShutsOutNamesItWithTheReason) {
    if (!canActAsSecondUser()) GTEST_SKIP() << "needs root to act as uid 65534";
    TempDir dir;
    putSized(dir / "open/a.bin", 1000, 1);
    putSized(dir / "open/shut/deep/b.bin", 1000, 2); // below the first level
    for (const char* p : {"", "/open", "/open/shut/deep"})
        ASSERT_EQ(::chmod((dir.path() + p).c_str(), 0755), 0);
    ASSERT_EQ(::chmod((dir / "open/shut").c_str(), 0700), 0); // root's alone
    const std::string seen = inChildAsNobody([&] {
        const ScanForest forest = scanFolder(dir.path());
        std::string out = TruthBarView::unreadableSummary(forest.unreadable()).toStdString();
        for (const auto& f : unreadableFolders(forest, 5))
            out += "\n" + f.path + ": " + f.reason;
        return out;
    });
    EXPECT_EQ(seen, "1 folder could not be read; its size is missing.\n" + (dir / "open/shut") +
                        ": Permission denied");
}

TEST(UnreadableFolders, TheVolumeBarWarnsOnlyWhenAFolderWasNotRead) {
    TempHome home;
    const std::string tree = home.home() + "/tree";
    putSized(tree + "/mid/m.bin", 2000, 1);
    AppSession session;
    TruthBarView bar(session);
    bar.show();
    scanAndWait(session, tree);
    QCoreApplication::processEvents();
    EXPECT_EQ(session.unreadable(), 0);
    EXPECT_FALSE(bar.warning()->isVisible());
    ASSERT_EQ(::chmod((tree + "/mid").c_str(), 0), 0);
    {
        WithoutReadingAnyFolder asAUser;
        ASSERT_TRUE(asAUser.active() || ::geteuid() != 0) << "capset failed";
        scanAndWait(session, tree);
    }
    QCoreApplication::processEvents();
    ::chmod((tree + "/mid").c_str(), 0700);
    EXPECT_TRUE(bar.warning()->isVisible());
    EXPECT_EQ(bar.warningText()->text(), TruthBarView::unreadableSummary(1));
}

TEST(TerminalChoice, TriesTheUsersChoiceThenTheDesktopsThenTheSystemDefault) {
    using Commands = std::vector<std::vector<std::string>>;
    const struct {
        TerminalChoice::Hints hints;
        Commands expected;
    } cases[] = {
        {{}, {{"x-terminal-emulator"}}},
        {{"kitty --single-instance", "'gnome-terminal'\n",
          "[General]\nTerminalApplication=konsole\n"},
         {{"kitty", "--single-instance"},
          {"gnome-terminal"},
          {"konsole"},
          {"x-terminal-emulator"}}},
        {{"", "''", "[KDE]\nTerminalApplication=wrong\n[General]\nTerminalApplicationX=no\n"},
         {{"x-terminal-emulator"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TerminalChoice::candidates(c.hints), c.expected);
    EXPECT_EQ(TerminalChoice::kdeTerminal("[General]\r\nTerminalApplication = alacritty \r\n"),
              "alacritty");
}

} // namespace
} // namespace tb::test
