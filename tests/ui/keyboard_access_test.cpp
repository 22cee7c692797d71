#include <QAccessible>
#include <QScreen>
#include <QShortcut>

#include <set>

#include "ui/focus_ring.h"
#include "ui/shortcuts.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

class KeyboardAccess : public WindowTest {
protected:
    void scan() {
        putSized(work() + "/big/x.bin", 400'000, 1);
        putSized(work() + "/mid/m.bin", 200'000, 2);
        putSized(work() + "/a.bin", 300'000, 3);
        scanAndWait(*session, work());
        flush();
    }
    void show(AppTab tab, ViewMode mode = ViewMode::folders) {
        session->setTab(tab);
        session->setViewMode(mode);
        flush();
    }
};

bool interactive(QAccessibleInterface* a) {
    using A = QAccessible;
    static const std::set<A::Role> roles{
        A::Button, A::CheckBox,   A::RadioButton,    A::ComboBox, A::EditableText, A::SpinBox,
        A::Slider, A::ButtonMenu, A::ButtonDropDown, A::PageTab,  A::List,         A::Tree,
        A::Table,  A::Link};
    if (roles.count(a->role())) return true;
    // Custom-painted controls (the maps) are plain widgets that take focus.
    auto* w = qobject_cast<QWidget*>(a->object());
    return w && (w->focusPolicy() & Qt::TabFocus) && a->role() != QAccessible::ScrollBar;
}

// Every shown interactive element without a name, described for the message.
void nameless(QAccessibleInterface* a, const QString& where, QStringList& out) {
    if (!a || a->state().invisible) return;
    if (interactive(a) && a->text(QAccessible::Name).trimmed().isEmpty()) {
        const QObject* o = a->object();
        out << QStringLiteral("%1: %2 %3 '%4'")
                   .arg(where)
                   .arg(int(a->role()))
                   .arg(QString::fromLatin1(o ? o->metaObject()->className() : "?"))
                   .arg(o ? o->objectName() : QString());
    }
    // A list's rows are named by their text; the walk stops at the list.
    if (a->role() == QAccessible::List || a->role() == QAccessible::Tree ||
        a->role() == QAccessible::Table)
        return;
    for (int i = 0; i < a->childCount(); ++i)
        nameless(a->child(i), where, out);
}

TEST_F(KeyboardAccess, EveryInteractiveElementOfEveryTabHasAName) {
    QStringList missing;
    auto walk = [&](const QString& where) {
        nameless(QAccessible::queryAccessibleInterface(window.get()), where, missing);
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
    EXPECT_TRUE(map->accessibleDescription().startsWith(QStringLiteral("work, ")))
        << map->accessibleDescription().toStdString();
    const ScanNode* file = child(session->forest()->root(), "a.bin");
    hover(map, centreOf(hitFor(map->hits(), file).rect));
    EXPECT_EQ(map->accessibleDescription(),
              QStringLiteral("a.bin, ") + DiskTheme::bytes(file->allocatedSize()));
}

// Icons that stand side by side must tell their items apart: the sidebar's
// tabs, and the modes of the Explore picker.
template <typename Rows>
void expectAllDifferent(const Rows& rows) {
    std::vector<QImage> images;
    for (const auto& row : rows) {
        images.push_back(DiskTheme::icon(row.symbol).pixmap(QSize(32, 32)).toImage());
        EXPECT_FALSE(images.back().isNull()) << row.symbol;
        for (std::size_t i = 0; i + 1 < images.size(); ++i)
            EXPECT_NE(images[i], images.back()) << rows[i].symbol << " looks like " << row.symbol;
    }
}

TEST(Icons, TabsAndExploreModesEachHaveTheirOwn) {
    expectAllDifferent(appTabs);
    expectAllDifferent(viewModes);
}

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
    std::copy_if(stops.begin(), stops.end(), std::back_inserter(onBar),
                 [&](QWidget* w) { return bar->isAncestorOf(w); });
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
    auto* search = bar->findChild<QLineEdit*>();
    ASSERT_TRUE(search && search->isVisible());
    QTest::mouseClick(search, Qt::LeftButton);
    flush();
    EXPECT_EQ(QApplication::focusWidget(), search);
    EXPECT_EQ(ring->target(), nullptr);
}

TEST_F(KeyboardAccess, TheShortcutTableBindsWhatItListsAndNothingElseIsBound) {
    using Shortcuts::Command;
    std::set<int> commands;
    std::set<QString> listed, bound;
    for (const auto& row : Shortcuts::table()) {
        EXPECT_TRUE(commands.insert(int(row.command)).second) << int(row.command);
        EXPECT_FALSE(row.keys.isEmpty() && row.also.isEmpty()) << int(row.command);
        for (const QKeySequence& k : row.keys)
            listed.insert(k.toString());
    }
    EXPECT_EQ(commands.size(), std::size_t(int(Command::itemMenu) + 1));
    for (QAction* a : window->findChildren<QAction*>()) {
        for (const QKeySequence& k : a->shortcuts())
            bound.insert(k.toString());
    }
    for (QShortcut* s : window->findChildren<QShortcut*>()) {
        for (const QKeySequence& k : s->keys())
            bound.insert(k.toString());
    }
    auto notIn = [](const std::set<QString>& keys, const std::set<QString>& other) {
        QStringList out;
        for (const QString& k : keys) {
            if (!other.count(k)) out << k;
        }
        return out.join(QStringLiteral(", ")).toStdString();
    };
    EXPECT_EQ(notIn(bound, listed), "") << "bound but not listed";
    EXPECT_EQ(notIn(listed, bound), "") << "listed but not bound";
    EXPECT_EQ(Shortcuts::listed().size(), Shortcuts::table().size());
    EXPECT_EQ(Shortcuts::keysText(Command::back),
              QKeySequence(Qt::ALT | Qt::Key_Left).toString(QKeySequence::NativeText) +
                  QStringLiteral(", mouse back button"));
}

// Of each binding loop, its first and its last digit.
TEST_F(KeyboardAccess, DigitsChooseTabsAndModesAndTheSidebarArrowsMoveUnderAToolbarOfOneHeight) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifier modifier;
        AppTab tab;
        std::optional<ViewMode> mode;
    } table[] = {{Qt::Key_7, Qt::ControlModifier, AppTab::stage, {}},
                 {Qt::Key_1, Qt::ControlModifier, AppTab::overview, {}},
                 {Qt::Key_9, Qt::AltModifier, AppTab::explore, ViewMode::agemap},
                 {Qt::Key_1, Qt::AltModifier, AppTab::explore, ViewMode::folders}};
    for (const auto& c : table) {
        session->setTab(AppTab::cleanup);
        QTest::keyClick(window.get(), c.key, c.modifier);
        flush();
        EXPECT_EQ(session->tab(), c.tab) << c.key;
        EXPECT_EQ(session->viewMode(), c.mode.value_or(session->viewMode())) << c.key;
    }
    session->setTab(AppTab::overview);
    window->sidebar()->setFocus();
    QTest::keyClick(window->sidebar(), Qt::Key_Down);
    EXPECT_EQ(session->tab(), AppTab::explore);
    session->setTab(AppTab::monitor); // shows the Overview row without choosing it
    EXPECT_EQ(session->tab(), AppTab::monitor);
    const int height = window->toolbar()->height();
    for (const auto& info : appTabs) {
        session->setTab(info.tab);
        flush();
        EXPECT_EQ(window->toolbar()->height(), height) << info.id;
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
