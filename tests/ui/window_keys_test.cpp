#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include "session/app_session.h"
#include "support/temp_dir.h"
#include "ui/shell/root_view.h"

namespace tb::test {
namespace {

class WindowKeys : public testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<AppSession>();
        window = std::make_unique<RootView>(*session);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void key(QWidget* w, int k, Qt::KeyboardModifiers m = {}) {
        QTest::keyClick(w, Qt::Key(k), m);
        QCoreApplication::processEvents();
    }

    TempHome home;
    std::unique_ptr<AppSession> session;
    std::unique_ptr<RootView> window;
};

TEST_F(WindowKeys, CtrlDigitsAndSidebarArrowsChangeTheTabUnderAToolbarOfOneHeight) {
    // The first and the last tab: the digits between are bound by the same loop.
    const std::pair<int, AppTab> table[] = {{Qt::Key_7, AppTab::stage},
                                            {Qt::Key_1, AppTab::overview}};
    for (const auto& [digit, tab] : table) {
        key(window.get(), digit, Qt::ControlModifier);
        EXPECT_EQ(session->tab(), tab) << digit;
    }
    window->sidebar()->setFocus();
    key(window->sidebar(), Qt::Key_Down);
    EXPECT_EQ(session->tab(), AppTab::explore);
    session->setTab(AppTab::monitor); // shows the Overview row without choosing it
    EXPECT_EQ(session->tab(), AppTab::monitor);
    // The toolbar keeps its height on every tab.
    const int height = window->toolbar()->height();
    for (AppTab tab :
         {AppTab::explore, AppTab::cleanup, AppTab::stage, AppTab::monitor, AppTab::overview}) {
        session->setTab(tab);
        QCoreApplication::processEvents();
        EXPECT_EQ(window->toolbar()->height(), height);
    }
}

} // namespace
} // namespace tb::test
