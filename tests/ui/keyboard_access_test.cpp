#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QAbstractButton>
#include <QLineEdit>
#include <QShortcut>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>
#include <set>

#include "session/app_session.h"
#include "support/session_scan.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"
#include "ui/disk_theme.h"
#include "ui/explore/maps/treemap_view.h"
#include "ui/explore/scan_workspace.h"
#include "ui/focus_ring.h"
#include "ui/shell/root_view.h"
#include "ui/shortcuts.h"

namespace tb::test {
namespace {

class KeyboardAccess : public testing::Test {
protected:
    void SetUp() override {
        putSized(tree() + "/big/x.bin", 400'000, 1);
        putSized(tree() + "/mid/m.bin", 200'000, 2);
        putSized(tree() + "/a.bin", 300'000, 3);
        session = std::make_unique<AppSession>();
        window = std::make_unique<RootView>(*session);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override {
        window.reset();
        session.reset();
    }

    std::string tree() const { return home.home() + "/tree"; }
    void scan() {
        scanAndWait(*session, tree());
        flush();
    }
    static void flush() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    void show(AppTab tab, ViewMode mode = ViewMode::folders) {
        session->setTab(tab);
        session->setViewMode(mode);
        flush();
    }
    ScanWorkspace* workspace() const { return window->findChild<ScanWorkspace*>(); }

    TempHome home;
    std::unique_ptr<AppSession> session;
    std::unique_ptr<RootView> window;
};

// --- accessibility --------------------------------------------------------

bool interactive(QAccessibleInterface* a) {
    switch (a->role()) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::PageTab:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::Link: return true;
    default: break;
    }
    // Custom-painted controls (the maps) are plain widgets that take focus.
    auto* w = qobject_cast<QWidget*>(a->object());
    return w && (w->focusPolicy() & Qt::TabFocus) && a->role() != QAccessible::ScrollBar;
}

// Every shown interactive element without a name, described for the message.
void nameless(QAccessibleInterface* a, QStringList& out) {
    if (!a || a->state().invisible) return;
    if (interactive(a) && a->text(QAccessible::Name).trimmed().isEmpty()) {
        out << QStringLiteral("%1 %2 '%3'")
                   .arg(int(a->role()))
                   .arg(QString::fromLatin1(a->object() ? a->object()->metaObject()->className()
                                                        : "?"))
                   .arg(a->object() ? a->object()->objectName() : QString());
    }
    // A list's rows are named by their text; the walk stops at the list.
    const auto role = a->role();
    if (role == QAccessible::List || role == QAccessible::Tree || role == QAccessible::Table)
        return;
    for (int i = 0; i < a->childCount(); ++i)
        nameless(a->child(i), out);
}

TEST_F(KeyboardAccess, EveryInteractiveElementOfEveryTabHasAName) {
    QStringList missing;
    auto walk = [&](const QString& where) {
        QStringList here;
        nameless(QAccessible::queryAccessibleInterface(window.get()), here);
        for (const QString& m : here)
            missing << where + QStringLiteral(": ") + m;
    };
    walk(QStringLiteral("before a scan"));
    scan();
    for (const auto& tab : appTabs) {
        show(tab.tab);
        walk(QString::fromLatin1(tab.id));
    }
    for (const auto& mode : viewModes) {
        show(AppTab::explore, mode.mode);
        walk(QStringLiteral("explore ") + QString::fromLatin1(mode.id));
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char('\n')).toStdString();
}

TEST_F(KeyboardAccess, TheMapTellsTheShapeUnderThePointerAndElseTheFolderShown) {
    scan();
    show(AppTab::explore, ViewMode::treemap);
    TreemapView* map = workspace()->treemap();
    ASSERT_TRUE(map->isVisible());
    EXPECT_EQ(map->accessibleName(), QStringLiteral("Treemap"));
    EXPECT_TRUE(map->accessibleDescription().startsWith(QStringLiteral("tree, ")))
        << map->accessibleDescription().toStdString();
    const ScanNode* big = child(session->forest()->root(), "big");
    for (int y = 2; y < map->height(); y += 6) {
        for (int x = 2; x < map->width(); x += 6) {
            const auto target = map->locate(QPointF(x, y));
            if (!target || target->node != big) continue;
            QMouseEvent move(QEvent::MouseMove, QPointF(x, y), map->mapToGlobal(QPointF(x, y)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(map, &move);
            EXPECT_EQ(map->accessibleDescription(),
                      QStringLiteral("big, ") + DiskTheme::bytes(big->allocatedSize()));
            return;
        }
    }
    ADD_FAILURE() << "no tile for big";
}

// --- keyboard reach -------------------------------------------------------

TEST_F(KeyboardAccess, TabReachesTheToolbarInOrderWithARingAroundEveryStop) {
    scan();
    show(AppTab::explore);
    auto* ring = window->findChild<FocusRing*>();
    ASSERT_TRUE(ring);
    window->sidebar()->setFocus(Qt::TabFocusReason);
    flush();
    QWidget* start = QApplication::focusWidget();
    ASSERT_EQ(start, window->sidebar());
    std::vector<QWidget*> stops;
    for (int i = 0; i < 200; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        flush();
        QWidget* now = QApplication::focusWidget();
        ASSERT_TRUE(now);
        if (now == start) break;
        stops.push_back(now);
        EXPECT_TRUE(now->isVisible()) << now->metaObject()->className();
        EXPECT_EQ(ring->target(), now) << now->metaObject()->className();
        EXPECT_TRUE(
            ring->geometry().contains(QRect(now->mapTo(window.get(), QPoint(0, 0)), now->size())));
    }
    ASSERT_EQ(QApplication::focusWidget(), start) << "Tab never came back to the sidebar";
    // Every toolbar control shown is a stop, and they come together, left to
    // right, just before the sidebar: the order the window is read in.
    auto* bar = static_cast<QToolBar*>(window->toolbar());
    std::vector<QWidget*> onBar;
    for (QWidget* w : stops) {
        if (bar->isAncestorOf(w)) onBar.push_back(w);
    }
    for (QWidget* w : bar->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w);
        if (control && w->isVisible() &&
            w->objectName() != QStringLiteral("qt_toolbar_ext_button")) {
            EXPECT_NE(std::find(onBar.begin(), onBar.end(), w), onBar.end())
                << w->accessibleName().toStdString();
        }
    }
    ASSERT_GE(onBar.size(), 7u); // four modes, Inspector, Search, Choose Folder
    EXPECT_EQ(stops.back(), onBar.back());
    const auto first = std::find(stops.begin(), stops.end(), onBar.front());
    EXPECT_TRUE(std::equal(onBar.begin(), onBar.end(), first));
    for (std::size_t i = 1; i < onBar.size(); ++i) {
        EXPECT_LT(onBar[i - 1]->mapTo(bar, QPoint(0, 0)).x(),
                  onBar[i]->mapTo(bar, QPoint(0, 0)).x());
    }
    // A click puts no ring up: the pointer shows where the user is.
    QLineEdit* search = nullptr;
    for (QWidget* w : onBar) {
        if (auto* field = qobject_cast<QLineEdit*>(w)) search = field;
    }
    ASSERT_TRUE(search);
    QTest::mouseClick(search, Qt::LeftButton);
    flush();
    EXPECT_EQ(QApplication::focusWidget(), search);
    EXPECT_EQ(ring->target(), nullptr);
}

// --- the one table of shortcuts -----------------------------------------------

TEST_F(KeyboardAccess, TheShortcutTableBindsWhatItListsAndNothingElseIsBound) {
    using Shortcuts::Command;
    std::set<int> commands;
    for (const auto& row : Shortcuts::table()) {
        EXPECT_TRUE(commands.insert(int(row.command)).second) << int(row.command);
        EXPECT_FALSE(row.keys.isEmpty() && row.also.isEmpty()) << int(row.command);
    }
    EXPECT_EQ(commands.size(), std::size_t(int(Command::itemMenu) + 1));

    std::set<QString> listed, bound;
    for (const auto& row : Shortcuts::table()) {
        for (const QKeySequence& k : row.keys)
            listed.insert(k.toString());
    }
    for (QAction* a : window->findChildren<QAction*>()) {
        for (const QKeySequence& k : a->shortcuts())
            bound.insert(k.toString());
    }
    for (QShortcut* s : window->findChildren<QShortcut*>()) {
        for (const QKeySequence& k : s->keys())
            bound.insert(k.toString());
    }
    std::vector<QString> unlisted, unbound;
    std::set_difference(bound.begin(), bound.end(), listed.begin(), listed.end(),
                        std::back_inserter(unlisted));
    std::set_difference(listed.begin(), listed.end(), bound.begin(), bound.end(),
                        std::back_inserter(unbound));
    EXPECT_TRUE(unlisted.empty()) << unlisted.front().toStdString();
    EXPECT_TRUE(unbound.empty()) << unbound.front().toStdString();
    EXPECT_EQ(Shortcuts::listed().size(), Shortcuts::table().size());
    EXPECT_EQ(Shortcuts::keysText(Command::back),
              QKeySequence(Qt::ALT | Qt::Key_Left).toString(QKeySequence::NativeText) +
                  QStringLiteral(", mouse back button"));
}

TEST_F(KeyboardAccess, AltDigitsShowExploreInEachMode) {
    const std::pair<Qt::Key, ViewMode> table[] = {{Qt::Key_2, ViewMode::treemap},
                                                  {Qt::Key_4, ViewMode::types},
                                                  {Qt::Key_9, ViewMode::agemap},
                                                  {Qt::Key_1, ViewMode::folders}};
    for (const auto& [digit, mode] : table) {
        session->setTab(AppTab::cleanup);
        QTest::keyClick(window.get(), digit, Qt::AltModifier);
        flush();
        EXPECT_EQ(session->tab(), AppTab::explore) << digit;
        EXPECT_EQ(session->viewMode(), mode) << digit;
    }
}

} // namespace
} // namespace tb::test
