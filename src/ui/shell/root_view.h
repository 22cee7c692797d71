// The main window: a sidebar of tabs and recent scans, the current tab's
// view, the inspector column, the scan strip on top while a scan runs, the
// volume bar at the bottom, and a drop target that scans a dropped folder.
// Owns no data: everything it shows lives on the AppSession.
#pragma once

#include <QMainWindow>

#include <map>
#include <utility>
#include <vector>

#include "session/app_enums.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tb {

class AppSession;
class InspectorView;
class ScanStatusStrip;
class SettingsView;
class StatusBanner;

class RootView : public QMainWindow {
    Q_OBJECT
public:
    explicit RootView(AppSession& session, QWidget* parent = nullptr);

    // What the title bar shows: the tab's title and the subtitle.
    QString subtitle() const;
    QTreeWidget* sidebar() const { return sidebar_; }
    QAction* scanAction() const { return scan_; }
    QAction* undoAction() const { return undo_; }
    QAction* trashAction() const { return trash_; }
    StatusBanner* statusBanner() const { return banner_; }
    QWidget* toolbar() const;
    ScanStatusStrip* scanStrip() const { return strip_; }

protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolbar();
    void buildMenus();
    void buildSidebar();
    void refreshHistory();
    void refreshTab();
    void refreshTitle();
    void refreshScanning();
    void refreshUndo();
    void setDropTargeted(bool targeted);
    void openSettings();
    void showShortcuts();
    void showAbout();

    AppSession& session_;
    QTreeWidget* sidebar_;
    QTreeWidgetItem* recent_ = nullptr;
    std::map<AppTab, QTreeWidgetItem*> tabRows_;
    QStackedWidget* detail_;
    std::map<AppTab, int> pages_;
    InspectorView* inspector_;
    QSplitter* columns_;
    ScanStatusStrip* strip_;
    StatusBanner* banner_;
    QWidget* dropOverlay_;
    bool isDropTargeted_ = false;
    bool prepared_ = false;

    QAction* picker_ = nullptr;
    QAction* inspectorToggle_ = nullptr;
    QAction* choose_ = nullptr;
    QAction* scan_ = nullptr;
    QAction* search_ = nullptr;
    QAction* stripItem_ = nullptr;
    QAction* cancel_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* trash_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::vector<std::pair<ViewMode, QToolButton*>> modes_;
    QLineEdit* searchField_ = nullptr;
    QWidget* settingsWindow_ = nullptr;
};

} // namespace tb
