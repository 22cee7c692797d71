#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include "session/app_session.h"
#include "support/temp_dir.h"
#include "ui/shell/root_view.h"
#include "ui/shell/window_state.h"

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

TEST(WindowGeometry, FitsTheAvailableScreenWithRoomForTheFrame) {
    const QMargins frame(4, 32, 4, 4);
    // 1600 x 1000 at 1.5: 1066 x 666 logical pixels, a 30-pixel panel on top.
    const QRect scaled(0, 30, 1066, 636);
    const struct {
        QRect wanted, available, fitted;
    } cases[] = {
        {{100, 100, 1280, 800}, {0, 0, 1920, 1080}, {100, 100, 1280, 800}},
        {{0, 0, 1280, 800}, scaled, {4, 62, 1058, 600}},
        {{900, 500, 900, 500}, scaled, {162, 162, 900, 500}}, // moved back on
        {{-300, -40, 640, 480}, scaled, {4, 62, 640, 480}},   // off the left and the top
        {{3000, 40, 1280, 800}, {1920, 0, 1280, 1024}, {1924, 40, 1272, 800}}, // second screen
    };
    for (const auto& c : cases) {
        const QRect got = fittedGeometry(c.wanted, c.available, frame);
        EXPECT_EQ(got, c.fitted) << got.x() << "," << got.y() << " " << got.width() << "x"
                                 << got.height();
        EXPECT_TRUE(c.available.contains(got.marginsAdded(frame)));
    }
}

TEST(WindowGeometry, TheWindowOpensInsideTheScreenItIsOn) {
    TempHome home;
    AppSession session;
    RootView window(session);
    const QRect available = window.screen()->availableGeometry();
    ASSERT_FALSE(available.isEmpty());
    EXPECT_TRUE(available.contains(window.geometry().marginsAdded(estimatedFrame)))
        << window.width() << "x" << window.height() << " on " << available.width() << "x"
        << available.height();
    EXPECT_LE(window.minimumWidth(), available.width());
    EXPECT_LE(window.minimumHeight(), available.height());
    // A remembered geometry larger than the screen is brought back on it.
    window.setGeometry(QRect(available.topLeft() + QPoint(200, 100), available.size() * 2));
    keepOnScreen(window);
    EXPECT_TRUE(available.contains(window.geometry().marginsAdded(estimatedFrame)));
}

} // namespace
} // namespace tb::test
