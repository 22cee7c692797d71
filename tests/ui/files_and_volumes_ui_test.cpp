#include "ui/shell/file_actions.h"
#include "ui/shell/volumes_view.h"
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

} // namespace
} // namespace tb::test
