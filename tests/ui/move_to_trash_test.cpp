#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "scan/forest_edit.h"
#include "session/app_session.h"
#include "support/event_loop.h"
#include "support/session_scan.h"
#include "support/temp_dir.h"
#include "ui/explore/folder_browser_view.h"
#include "ui/explore/node_menu.h"
#include "ui/explore/scan_workspace.h"
#include "ui/shell/overview_view.h"
#include "ui/shell/root_view.h"

namespace tb::test {
namespace {

class MoveToTrashUi : public testing::Test {
protected:
    void SetUp() override {
        putSized(work() + "/keep.bin", 4000, 1);
        putSized(work() + "/big.bin", 60000, 2);
        session = std::make_unique<AppSession>();
        window = std::make_unique<RootView>(*session);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        scanAndWait(*session, work());
        session->setTab(AppTab::explore);
        QCoreApplication::processEvents();
    }
    std::string work() const { return home.home() + "/work"; }
    const ScanNode* node(const std::string& path) const {
        return ForestEdit::nodeAt(*session->forest(), path);
    }
    QMessageBox* confirmation() const {
        for (QMessageBox* box : window->findChildren<QMessageBox*>()) {
            if (box->isVisible()) return box;
        }
        return nullptr;
    }
    static QAbstractButton* button(QMessageBox* box, const QString& text) {
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == text) return b;
        }
        return nullptr;
    }

    TempHome home;
    std::unique_ptr<AppSession> session;
    std::unique_ptr<RootView> window;
};

TEST_F(MoveToTrashUi, DeleteAsksWithWhatItFreesAndCtrlZPutsItBack) {
    EXPECT_FALSE(window->undoAction()->isEnabled());
    const std::int64_t before = session->forest()->root()->allocatedSize();
    session->select(node(work() + "/big.bin"));
    auto* list = window->findChild<ScanWorkspace*>()->folderBrowser();
    list->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(list, Qt::Key_Delete);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = confirmation()) != nullptr; }));
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("Move 1 item (")));
    EXPECT_TRUE(box->text().contains(QStringLiteral("Frees about")));
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
    QAbstractButton* move = button(box, QStringLiteral("Move to Trash"));
    ASSERT_TRUE(move);
    move->click();
    QCoreApplication::processEvents();

    EXPECT_FALSE(exists(work() + "/big.bin"));
    EXPECT_EQ(node(work() + "/big.bin"), nullptr);
    EXPECT_LT(session->forest()->root()->allocatedSize(), before);
    EXPECT_TRUE(window->undoAction()->isEnabled());
    EXPECT_EQ(window->undoAction()->text(), QStringLiteral("Undo Move to Trash"));

    window->activateWindow(); // offscreen, a closed box does not hand it back
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(exists(work() + "/big.bin"));
    ASSERT_TRUE(waitUntil([&] { return node(work() + "/big.bin") != nullptr; }));
    EXPECT_EQ(session->forest()->root()->allocatedSize(), before);
    EXPECT_FALSE(window->undoAction()->isEnabled());
    EXPECT_EQ(window->undoAction()->text(), QStringLiteral("Undo"));
}

TEST_F(MoveToTrashUi, CancelMovesNothingAndTheRootIsNeverOffered) {
    session->select(node(work() + "/keep.bin"));
    window->trashAction()->trigger();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = confirmation()) != nullptr; }));
    box->button(QMessageBox::Cancel)->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(exists(work() + "/keep.bin"));
    EXPECT_TRUE(node(work() + "/keep.bin"));

    session->select(session->forest()->root());
    window->trashAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(confirmation(), nullptr);
}

TEST_F(MoveToTrashUi, TheItemMenuOffersItAndTheOverviewCountsWhatLeft) {
    QMenu* menu = NodeMenu::build(*session, *node(work() + "/big.bin"), window.get());
    QAction* trash = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->text() == QStringLiteral("Move to Trash\u2026")) trash = a;
    }
    ASSERT_TRUE(trash);
    EXPECT_EQ(trash->shortcut(), QKeySequence(QKeySequence::Delete));
    trash->trigger();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = confirmation()) != nullptr; }));
    button(box, QStringLiteral("Move to Trash"))->click();
    delete menu;

    session->setTab(AppTab::overview);
    auto* overview = window->findChild<OverviewView*>();
    ASSERT_TRUE(overview);
    QLabel* line = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        line = overview->findChild<QLabel*>(QStringLiteral("movedToTrash"));
        return line != nullptr;
    }));
    EXPECT_TRUE(line->text().startsWith(
        QStringLiteral("Changed since the scan: 1 item moved to the Trash (")));
}

TEST_F(MoveToTrashUi, RowsChosenTogetherGoTogetherFromTheKeyAndTheMenu) {
    auto* list = window->findChild<ScanWorkspace*>()->folderBrowser();
    list->setFocus();
    session->select(node(work() + "/big.bin"));
    QCoreApplication::processEvents();
    QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
    ASSERT_EQ(list->chosenNodes().size(), 2u);
    EXPECT_EQ(session->selected(), node(work() + "/keep.bin")); // current row follows

    QMenu* menu = NodeMenu::build(*session, *node(work() + "/keep.bin"), window.get(),
                                  list->chosenNodes());
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->text();
    delete menu;
    EXPECT_TRUE(texts.contains(QStringLiteral("Move 2 Items to Trash\u2026")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Add 2 Items to Review Queue")));

    QTest::keyClick(list, Qt::Key_Delete);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = confirmation()) != nullptr; }));
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("Move 2 items (")));
    button(box, QStringLiteral("Move to Trash"))->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(exists(work() + "/big.bin"));
    EXPECT_FALSE(exists(work() + "/keep.bin"));
}

} // namespace
} // namespace tb::test
