#include "workspace_fixture.h"

namespace tb::test {
namespace {

class MoveToTrashUi : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        putSized(work() + "/keep.bin", 4000, 1);
        putSized(work() + "/big.bin", 60000, 2);
        scan(work());
        session->setTab(AppTab::explore);
        QCoreApplication::processEvents();
    }
    // The confirmation shown, waited for.
    QMessageBox* confirmation() const {
        QMessageBox* box = nullptr;
        waitUntil(
            [&] {
                for (QMessageBox* b : window->findChildren<QMessageBox*>())
                    box = b->isVisible() ? b : box;
                return box != nullptr;
            },
            1000);
        return box;
    }
    static void click(QMessageBox* box, const QString& text) {
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == text) return b->click();
        }
        ADD_FAILURE() << "no button " << text.toStdString();
    }
};

TEST_F(MoveToTrashUi, DeleteAsksWithWhatItFreesAndCtrlZPutsItBack) {
    EXPECT_FALSE(window->undoAction()->isEnabled());
    const std::int64_t before = session->forest()->root()->allocatedSize();
    session->select(node(work() + "/big.bin"));
    auto* list = workspace()->folderBrowser();
    list->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(list, Qt::Key_Delete);
    QMessageBox* box = confirmation();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("Move 1 item (")));
    EXPECT_TRUE(box->text().contains(QStringLiteral("Frees about")));
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
    click(box, QStringLiteral("Move to Trash"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(exists(work() + "/big.bin"));
    EXPECT_LT(session->forest()->root()->allocatedSize(), before);
    EXPECT_EQ(window->undoAction()->text(), QStringLiteral("Undo Move to Trash"));

    window->activateWindow(); // offscreen, a closed box does not hand it back
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(exists(work() + "/big.bin"));
    ASSERT_TRUE(waitUntil([&] { return node(work() + "/big.bin") != nullptr; }));
    EXPECT_FALSE(window->undoAction()->isEnabled());
    EXPECT_EQ(window->undoAction()->text(), QStringLiteral("Undo"));
}

TEST_F(MoveToTrashUi, CancelMovesNothingAndTheRootIsNeverOffered) {
    session->select(node(work() + "/keep.bin"));
    window->trashAction()->trigger();
    QMessageBox* box = confirmation();
    ASSERT_TRUE(box);
    box->button(QMessageBox::Cancel)->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(exists(work() + "/keep.bin"));
    EXPECT_TRUE(node(work() + "/keep.bin"));

    session->select(session->forest()->root());
    window->trashAction()->trigger();
    EXPECT_EQ(confirmation(), nullptr);
}

TEST_F(MoveToTrashUi, TheItemMenuOffersItAndTheOverviewCountsWhatLeft) {
    QMenu* menu = NodeMenu::build(*session, *node(work() + "/big.bin"), window.get());
    const auto actions = menu->actions();
    const auto trash = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
        return a->text() == QStringLiteral("Move to Trash\u2026");
    });
    ASSERT_NE(trash, actions.end());
    EXPECT_EQ((*trash)->shortcut(), QKeySequence(QKeySequence::Delete));
    (*trash)->trigger();
    QMessageBox* box = confirmation();
    ASSERT_TRUE(box);
    click(box, QStringLiteral("Move to Trash"));
    delete menu;

    session->setTab(AppTab::overview);
    QLabel* line = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        return (line = window->findChild<QLabel*>(QStringLiteral("movedToTrash"))) != nullptr;
    }));
    EXPECT_TRUE(line->text().startsWith(
        QStringLiteral("Changed since the scan: 1 item moved to the Trash (")));
}

TEST_F(MoveToTrashUi, RowsChosenTogetherGoTogetherFromTheKeyAndTheMenu) {
    auto* list = workspace()->folderBrowser();
    list->setFocus();
    session->select(node(work() + "/big.bin"));
    QCoreApplication::processEvents();
    QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
    ASSERT_EQ(list->chosenNodes().size(), 2u);
    EXPECT_EQ(session->selected(), node(work() + "/keep.bin")); // current row follows

    std::unique_ptr<QMenu> menu(
        NodeMenu::build(*session, *node(work() + "/keep.bin"), window.get(), list->chosenNodes()));
    EXPECT_TRUE(texts(menu.get()).contains(QStringLiteral("Move 2 Items to Trash\u2026")));
    EXPECT_TRUE(texts(menu.get()).contains(QStringLiteral("Add 2 Items to Review Queue")));

    QTest::keyClick(list, Qt::Key_Delete);
    QMessageBox* box = confirmation();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("Move 2 items (")));
    click(box, QStringLiteral("Move to Trash"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(exists(work() + "/big.bin") || exists(work() + "/keep.bin"));
}

} // namespace
} // namespace tb::test
