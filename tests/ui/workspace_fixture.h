// Real scans of small trees under a temporary HOME, shown in a ScanWorkspace, a
// window or a task view, and helpers that find what to click and read.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
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
#include <QTest>
#include <QTreeWidget>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "layout/geometry.h"
#include "layout/sunburst_layout.h"
#include "support/second_user.h"
#include "support/tree_builder.h"
#include "support/session_scan.h"
#include "ui/disk_theme.h"
#include "ui/explore/scan_workspace.h"
#include "ui/explore/folder_browser_view.h"
#include "ui/explore/maps/flame_view.h"
#include "ui/explore/maps/sunburst_view.h"
#include "ui/explore/maps/treemap_view.h"
#include "ui/explore/node_menu.h"
#include "ui/shell/inspector_view.h"
#include "ui/shell/window_state.h"
#include "ui/tasks/changes_view.h"
#include "ui/tasks/settings_view.h"
#include "ui/tasks/staging_view.h"
#include "ui/tasks/task_widgets.h"
#include "ui/shell/root_view.h"

namespace tb::test {

// Lets queued redraws run.
inline void flush() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}
inline void click(QWidget* w, QPoint p) {
    QTest::mouseClick(w, Qt::LeftButton, {}, p);
    flush();
}
inline void doubleClick(QWidget* w, QPoint p) {
    QTest::mouseDClick(w, Qt::LeftButton, {}, p);
    flush();
}
inline void press(QWidget* w, int key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(w, Qt::Key(key), modifiers);
    flush();
}
inline void hover(QWidget* w, QPoint p) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

// A menu's action by object name, and the texts of all but its separators.
inline QAction* action(QMenu* menu, const char* name) {
    for (QAction* a : menu->actions()) {
        if (a->objectName() == QLatin1String(name)) return a;
    }
    return nullptr;
}
inline QStringList texts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator()) out << a->text();
    }
    return out;
}

class WorkspaceTest : public SessionInHome {
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
        workspace = std::make_unique<ScanWorkspace>(*session);
        workspace->resize(900, 640);
        workspace->show();
    }

    std::string tree() const { return home.home() + "/tree"; }

    // Scans `root` and waits for the forest and the stored record.
    void scan(const std::string& root) {
        scanAndWait(*session, root);
        flush();
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

    // Made after the session, so gone before it.
    std::unique_ptr<ScanWorkspace> workspace;
};

// The whole window over a session in a temporary home, active for keys.
class WindowTest : public SessionInHome {
protected:
    void SetUp() override {
        window = std::make_unique<RootView>(*session);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    ScanWorkspace* workspace() const { return window->findChild<ScanWorkspace*>(); }

    std::unique_ptr<RootView> window;
};

// Every label text and elided path that would show with `root`.
inline QStringList shownTexts(QWidget* root) {
    QStringList out;
    for (QLabel* l : root->findChildren<QLabel*>()) {
        if (l->isVisibleTo(root) && !l->text().isEmpty()) out << l->text();
    }
    for (ElidedLabel* l : root->findChildren<ElidedLabel*>()) {
        if (l->isVisibleTo(root)) out << l->text();
    }
    return out;
}

inline bool shows(QWidget* root, const QString& text) {
    return shownTexts(root).contains(text);
}

// The buttons shown with `text`, or named `text`.
inline std::vector<QAbstractButton*> shownButtons(QWidget* root, const QString& text) {
    std::vector<QAbstractButton*> out;
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        if (b->isVisibleTo(root) && (b->text() == text || b->objectName() == text))
            out.push_back(b);
    }
    return out;
}

class TasksTest : public SessionInHome {
protected:
    // A file of `size` bytes in work(), its contents seeded by its name.
    std::string file(const std::string& name, std::int64_t size = 10'000) {
        const std::string p = work() + "/" + name;
        putSized(p, size, unsigned(name.size()));
        return p;
    }
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
