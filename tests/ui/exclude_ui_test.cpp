#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

#include "scan/exclude_rules.h"
#include "ui/explore/folder_browser_view.h"
#include "ui/explore/node_menu.h"
#include "ui/shell/overview_view.h"
#include "ui/shell/window_state.h"
#include "ui/tasks/settings_view.h"
#include "support/second_user.h"
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
// tagged and has no size, and the overview counts what was left out.
TEST_F(ExcludeUi, ExcludeThisFolderLeavesItOutOfTheNextScan) {
    putSized(tree() + "/.snapshots/1/snapshot/copy.bin", 50'000, 9);
    scan(tree());
    EXPECT_EQ(child(root(), ".snapshots")->leftOut(), LeftOutKind::snapshots);
    const std::int64_t before = root()->allocatedSize();
    const std::int64_t bigBefore = child(root(), "big")->allocatedSize();
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
    ASSERT_TRUE(big);
    EXPECT_EQ(big->leftOut(), LeftOutKind::excluded);
    EXPECT_TRUE(big->children().empty());
    EXPECT_EQ(root()->allocatedSize(), before - bigBefore);
    show(ViewMode::folders);
    FolderBrowserView* list = workspace->folderBrowser();
    auto* model = list->treeModel();
    const QModelIndex row = model->indexOf(big, FolderBrowserView::sizeColumn);
    EXPECT_EQ(model->data(row, Qt::DisplayRole).toString(), "Excluded");
    EXPECT_EQ(model->data(model->indexOf(child(root(), ".snapshots"), FolderBrowserView::sizeColumn),
                          Qt::DisplayRole)
                  .toString(),
              "Snapshots (excluded)");
    EXPECT_TRUE(model->data(model->indexOf(big, FolderBrowserView::shareColumn), Qt::DisplayRole)
                    .toString()
                    .isEmpty());
    EXPECT_FALSE(action(NodeMenu::build(*session, *big, &parent), "excludeThis"));
    EXPECT_EQ(session->forest()->context().leftOutCount, 2);
}

// The Settings section edits the session's rules, which are remembered.
TEST_F(ExcludeUi, SettingsEditTheRulesAndTheyAreRemembered) {
    EXPECT_EQ(session->excludePatterns(), ExcludeRules::snapshotPatterns());
    SettingsView view(*session);
    auto* list = view.findChild<QListWidget*>(QStringLiteral("excludePatterns"));
    auto* entry = view.findChild<QLineEdit*>(QStringLiteral("excludePatternEntry"));
    auto* add = view.findChild<QPushButton*>(QStringLiteral("addExcludePattern"));
    auto* remove = view.findChild<QPushButton*>(QStringLiteral("removeExcludePattern"));
    auto* snapshots = view.findChild<QPushButton*>(QStringLiteral("addSnapshotPatterns"));
    auto* cross = view.findChild<QCheckBox*>(QStringLiteral("crossMounts"));
    ASSERT_TRUE(list && entry && add && remove && snapshots && cross);
    EXPECT_EQ(list->count(), 3);
    EXPECT_FALSE(cross->isChecked());

    entry->setText(QStringLiteral("  node_modules "));
    add->click();
    EXPECT_EQ(session->excludePatterns().back(), "node_modules");
    EXPECT_EQ(list->count(), 4);
    entry->setText(QStringLiteral("node_modules"));
    add->click(); // already there
    EXPECT_EQ(list->count(), 4);
    list->item(0)->setSelected(true);
    remove->click();
    EXPECT_EQ(session->excludePatterns(),
              (std::vector<std::string>{"timeshift/snapshots", "timeshift-btrfs/snapshots",
                                        "node_modules"}));
    cross->setChecked(true);
    EXPECT_TRUE(session->crossMounts());

    snapshots->click();
    EXPECT_EQ(session->excludePatterns().size(), 4u);

    // QSettings keeps the first folder it was given for the whole process:
    // the round trips run in a child, in a folder of their own.
    const std::string config = home.home() + "/rules-config";
    const std::string outcome = inChild([&]() -> std::string {
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
        if (session->hardLinks() != HardLinkMode::every) out += "hard links not restored\n";
        // Emptied on purpose, the list stays empty rather than going back
        // to the defaults.
        session->setExcludePatterns({});
        saveScanRules(*session);
        session->setExcludePatterns({"other"});
        restoreScanRules(*session);
        if (!session->excludePatterns().empty()) out += "empty list not kept\n";
        return out.empty() ? "ok" : out;
    });
    EXPECT_EQ(outcome, "ok");
}

} // namespace
} // namespace tb::test
