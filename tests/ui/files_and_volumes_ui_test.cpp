#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>

#include "ui/explore/node_menu.h"
#include "ui/shell/file_actions.h"
#include "ui/shell/volumes_view.h"
#include "ui/tasks/changes_view.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

using FilesUi = WorkspaceTest;

QAction* action(QMenu* menu, const char* name) {
    for (QAction* a : menu->actions()) {
        if (a->objectName() == QLatin1String(name)) return a;
    }
    return nullptr;
}

// The item menu and F6 refresh a folder in place; the maps follow.
TEST_F(FilesUi, RescanThisFolderPutsTheFolderBackWithItsNewSize) {
    scan(tree());
    const std::int64_t before = root()->allocatedSize();
    const std::int64_t big = child(root(), "big")->allocatedSize();
    putSized(tree() + "/big/z.bin", 300'000, 7);
    QWidget parent;
    EXPECT_FALSE(action(NodeMenu::build(*session, *child(root(), "a.bin"), &parent), "rescanFolder"));
    QMenu* menu = NodeMenu::build(*session, *child(root(), "big"), &parent);
    ASSERT_TRUE(action(menu, "rescanFolder"));
    EXPECT_EQ(action(menu, "rescanFolder")->shortcut(), QKeySequence(Qt::Key_F6));
    const std::size_t scans = session->history().size();
    action(menu, "rescanFolder")->trigger();
    ASSERT_TRUE(waitUntil([&] { return session->history().size() == scans + 1; }));
    const std::int64_t grown = child(root(), "big")->allocatedSize() - big;
    EXPECT_GE(grown, 300'000);
    EXPECT_EQ(root()->allocatedSize(), before + grown);
    EXPECT_EQ(root()->children().front()->name(), "big"); // sorted again

    // F6 from the Scan menu: the selected item's folder.
    QMenu scanMenu;
    QWidget window;
    QAction* f6 = FileActions::addRescanFolder(&scanMenu, *session, &window);
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
    putSized(tree() + "/mid/added.bin", 2'000'000, 5);
    scan(tree());
    putSized(tree() + "/mid/later.bin", 3'000'000, 6);
    scan(tree());
    ChangesView view(*session);
    ASSERT_TRUE(waitUntil([&] { return session->comparedWith().has_value(); }));
    QComboBox* box = view.comparedWithBox();
    ASSERT_TRUE(waitUntil([&] { return box->count() == 2 && box->currentIndex() == 0; }));
    EXPECT_FALSE(view.list()->findChildren<QWidget*>().isEmpty());
    auto listed = [&](const std::string& name) {
        const auto is = [&](const ScanChange& c) { return c.name == name; };
        return session->changeList() &&
               (std::any_of(session->changes().begin(), session->changes().end(), is) ||
                std::any_of(session->changeList()->smaller.begin(),
                            session->changeList()->smaller.end(), is));
    };
    EXPECT_FALSE(listed("added.bin"));
    box->setCurrentIndex(1);
    emit box->activated(1);
    ASSERT_TRUE(waitUntil([&] { return listed("added.bin"); }));
    EXPECT_TRUE(listed("later.bin"));
    EXPECT_EQ(session->comparedWith()->fileURL, first.fileURL);
    EXPECT_EQ(box->currentIndex(), 1);
}

TEST_F(FilesUi, EachVolumeIsARowThatScansIt) {
    VolumesView view(*session);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return !session->volumes().empty(); }));
    flush();
    const auto rows = view.findChildren<QPushButton*>(QStringLiteral("volume"));
    ASSERT_EQ(std::size_t(rows.size()), session->volumes().size());
    for (QPushButton* row : rows)
        EXPECT_FALSE(row->accessibleName().isEmpty());

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
    int shown = 0;
    for (QPushButton* r : view.findChildren<QPushButton*>(QStringLiteral("volume"))) {
        ++shown;
        EXPECT_FALSE(r->isEnabled());
    }
    EXPECT_EQ(std::size_t(shown), session->volumes().size());
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    EXPECT_EQ(root()->path(), tree());
}

} // namespace
} // namespace tb::test
