#include <QCheckBox>
#include <QListWidget>

#include "scan/exclude_rules.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

using ExcludeUi = WorkspaceTest;

QAction* action(QMenu* menu, const char* name) {
    for (QAction* a : menu->actions()) {
        if (a->objectName() == QLatin1String(name)) return a;
    }
    return nullptr;
}

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

} // namespace
} // namespace tb::test
