// A real scanned tree under a temporary HOME, shown in a ScanWorkspace, and
// helpers that find the points to click from the maps' own hit records.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>
#include <QMouseEvent>
#include <QPoint>
#include <QTest>
#include <QTreeWidget>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "layout/geometry.h"
#include "layout/sunburst_layout.h"
#include "session/app_session.h"
#include "support/event_loop.h"
#include "support/second_user.h"
#include "support/tree_builder.h"
#include "support/session_scan.h"
#include "support/temp_dir.h"
#include "ui/disk_theme.h"
#include "ui/explore/scan_workspace.h"
#include "ui/explore/folder_browser_view.h"
#include "ui/explore/maps/flame_view.h"
#include "ui/explore/maps/sunburst_view.h"
#include "ui/explore/maps/treemap_view.h"
#include "ui/explore/node_menu.h"
#include "ui/shell/inspector_view.h"
#include "ui/shell/overview_view.h"
#include "ui/shell/window_state.h"
#include "ui/tasks/changes_view.h"
#include "ui/tasks/settings_view.h"
#include "ui/tasks/staging_view.h"
#include "ui/shell/root_view.h"

namespace tb::test {

class WorkspaceTest : public testing::Test {
protected:
    void SetUp() override {
        // 17 children: the maps show 12 and put 5 into the bucket.
        makeDirs(tree() + "/empty");
        putSized(tree() + "/big/x.bin", 400'000, 1);
        putSized(tree() + "/big/y.bin", 100'000, 2);
        putSized(tree() + "/mid/m.bin", 200'000, 3);
        putSized(tree() + "/a.bin", 300'000, 4);
        for (int i = 0; i < 13; ++i) {
            writeSizedFile(tree() + "/s" + std::to_string(10 + i) + ".bin", 4000 + i,
                           unsigned(10 + i));
        }
        session = std::make_unique<AppSession>();
        workspace = std::make_unique<ScanWorkspace>(*session);
        workspace->resize(900, 640);
        workspace->show();
    }

    void TearDown() override {
        workspace.reset();
        session.reset();
    }

    std::string tree() const { return home.home() + "/tree"; }

    // Scans `root` and waits for the forest and the stored record.
    void scan(const std::string& root) {
        scanAndWait(*session, root);
        flush();
    }

    // Lets the workspace's queued redraw run.
    static void flush() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    void show(ViewMode mode) {
        session->setViewMode(mode);
        flush();
        ASSERT_EQ(workspace->visualisation(), workspace->viewFor(mode));
    }

    const ScanNode* child(const ScanNode* parent, std::string_view name) const {
        for (const ScanNode* c : parent->children()) {
            if (c->name() == name) return c;
        }
        ADD_FAILURE() << "no child " << name;
        return nullptr;
    }
    const ScanNode* root() const { return session->forest()->root(); }

    static void click(QWidget* w, QPoint p) {
        QTest::mouseClick(w, Qt::LeftButton, {}, p);
        flush();
    }
    static void doubleClick(QWidget* w, QPoint p) {
        QTest::mouseDClick(w, Qt::LeftButton, {}, p);
        flush();
    }
    static void press(QWidget* w, int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(w, Qt::Key(key), modifiers);
        flush();
    }
    static void hover(QWidget* w, QPoint p) {
        QMouseEvent move(QEvent::MouseMove, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &move);
    }

    TempHome home;
    std::unique_ptr<AppSession> session;
    std::unique_ptr<ScanWorkspace> workspace;
};

// The whole window over a session in a temporary home, active for keys.
class WindowTest : public testing::Test {
protected:
    void SetUp() override {
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
    static void flush() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    ScanWorkspace* workspace() const { return window->findChild<ScanWorkspace*>(); }

    TempHome home;
    std::unique_ptr<AppSession> session;
    std::unique_ptr<RootView> window;
};

// The hit record drawn for `node` (null: the bucket).
template <typename Hits>
auto hitFor(const Hits& hits, const ScanNode* node) -> const typename Hits::value_type& {
    for (const auto& h : hits) {
        if (h.node == node) return h;
    }
    ADD_FAILURE() << "no shape for the node";
    static const typename Hits::value_type none{};
    return none;
}

inline QPoint centreOf(const Rect& r) {
    return QPoint(int(r.x + r.width / 2), int(r.y + r.height / 2));
}
inline QPoint toQPoint(Point p) {
    return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
}
// The middle of a wedge of rings drawn around `centre`.
inline QPoint centreOf(const WedgeHit& w, QPointF centre) {
    const double a = (w.start + w.end) / 2, r = (w.inner + w.outer) / 2;
    return QPoint(int(centre.x() + r * std::cos(a)), int(centre.y() + r * std::sin(a)));
}

} // namespace tb::test
