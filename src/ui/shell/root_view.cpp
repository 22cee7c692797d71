#include "ui/shell/root_view.h"

#include <QAction>
#include <QScreen>
#include <QScrollBar>
#include <QScrollArea>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPropertyAnimation>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

#include "session/app_session.h"
#include "ui/tasks/apps_view.h"
#include "ui/tasks/changes_view.h"
#include "ui/tasks/cleanup_view.h"
#include "ui/disk_theme.h"
#include "ui/focus_ring.h"
#include "ui/shortcuts.h"
#include "ui/tasks/duplicates_view.h"
#include "ui/shell/file_actions.h"
#include "ui/shell/inspector_view.h"
#include "ui/shell/remote_scan_dialog.h"
#include "ui/tasks/monitor_view.h"
#include "ui/shell/overview_view.h"
#include "ui/shell/scan_status_strip.h"
#include "ui/shell/status_banner.h"
#include "ui/explore/folder_browser_view.h"
#include "ui/tasks/stored_scans.h"
#include "ui/explore/scan_workspace.h"
#include "ui/tasks/settings_view.h"
#include "ui/tasks/staging_view.h"
#include "ui/explore/trash_prompt.h"
#include "ui/shell/truth_bar_view.h"
#include "ui/shell/window_state.h"

namespace tb {
namespace {

constexpr int kTabRole = Qt::UserRole + 1;
constexpr int kHistoryRole = Qt::UserRole + 2;

// The card shown over the window while a folder is dragged over it.
QWidget* makeDropOverlay(QWidget* parent) {
    auto* overlay = new QWidget(parent);
    overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    overlay->setAutoFillBackground(true);
    QPalette p = overlay->palette();
    QColor shade = p.color(QPalette::Window);
    shade.setAlphaF(0.85f);
    p.setColor(QPalette::Window, shade);
    overlay->setPalette(p);
    auto* outer = new QVBoxLayout(overlay);
    auto* card = new QFrame;
    card->setFrameShape(QFrame::StyledPanel);
    card->setMaximumWidth(420);
    auto* l = new QVBoxLayout(card);
    auto* icon = new QLabel;
    icon->setPixmap(DiskTheme::icon("arrow.down.doc.fill").pixmap(40, 40));
    icon->setAlignment(Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("Drop a folder to scan"));
    title->setFont(DiskTheme::display(17));
    title->setAlignment(Qt::AlignHCenter);
    auto* line =
        new QLabel(QStringLiteral("Tarnbeck will switch to Explore and start a read-only scan."));
    line->setAlignment(Qt::AlignHCenter);
    l->addWidget(icon);
    l->addWidget(title);
    l->addWidget(line);
    outer->addStretch();
    outer->addWidget(card, 0, Qt::AlignHCenter);
    outer->addStretch();
    overlay->setGraphicsEffect(new QGraphicsOpacityEffect(overlay));
    overlay->hide();
    return overlay;
}

} // namespace

RootView::RootView(AppSession& session, QWidget* parent) : QMainWindow(parent), session_(session) {
    fitToScreen(*this, QSize(1280, 800), QSize(980, 640));
    setAcceptDrops(true);
    setUnifiedTitleAndToolBarOnMac(true);

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The strip lives in the toolbar (below), where it pushes nothing.
    strip_ = new ScanStatusStrip(session_);
    banner_ = new StatusBanner(session_);
    column->addWidget(banner_);

    columns_ = new QSplitter(Qt::Horizontal);
    columns_->setChildrenCollapsible(true);
    buildSidebar();
    columns_->addWidget(sidebar_);

    detail_ = new QStackedWidget;
    auto addPage = [this](AppTab tab, QWidget* page) { pages_[tab] = detail_->addWidget(page); };
    addPage(AppTab::overview, new OverviewView(session_));
    addPage(AppTab::explore, new ScanWorkspace(session_));
    addPage(AppTab::cleanup, new CleanupView(session_));
    addPage(AppTab::apps, new AppsView(session_));
    addPage(AppTab::duplicates, new DuplicatesView(session_));
    addPage(AppTab::changes, new ChangesView(session_));
    addPage(AppTab::stage, new StagingView(session_));
    addPage(AppTab::monitor, new MonitorView(session_));
    addPage(AppTab::settings, new SettingsView(session_));
    columns_->addWidget(detail_);

    inspector_ = new InspectorView(session_);
    inspector_->setMinimumWidth(270);
    inspector_->setMaximumWidth(420);
    columns_->addWidget(inspector_);
    columns_->setStretchFactor(0, 0);
    columns_->setStretchFactor(1, 1);
    columns_->setStretchFactor(2, 0);
    columns_->setSizes({224, 800, 310});
    column->addWidget(columns_, 1);

    auto* truthBar = new TruthBarView(session_);
    column->addWidget(truthBar);
    setCentralWidget(central);
    dropOverlay_ = makeDropOverlay(central);

    buildToolbar();
    buildMenus();
    new FocusRing(this);

    connect(&session_, &AppSession::changed, this, [this](SessionField f) {
        switch (f) {
        case SessionField::tab: refreshTab(); break;
        case SessionField::viewMode: refreshTab(); break;
        case SessionField::history:
        case SessionField::retention: refreshHistory(); break;
        case SessionField::isScanning: refreshScanning(); break;
        case SessionField::forest:
        case SessionField::volume: refreshTitle(); break;
        case SessionField::showInspector:
            inspector_->setVisible(session_.showInspector());
            inspectorToggle_->setChecked(session_.showInspector());
            break;
        case SessionField::searchQuery:
            if (searchField_->text().toStdString() != session_.searchQuery()) {
                searchField_->setText(QString::fromStdString(session_.searchQuery()));
            }
            break;
        default: break;
        }
    });
    connect(&session_.staging(), &StagingStore::itemsChanged, this, &RootView::refreshTitle);

    inspector_->setVisible(session_.showInspector());
    refreshHistory();
    refreshTab();
    refreshScanning();
}

void RootView::refreshUndo() {
    const bool can = session_.staging().canUndo();
    undo_->setEnabled(can);
    undo_->setText(can ? QStringLiteral("Undo Move to Trash") : QStringLiteral("Undo"));
}

void RootView::buildSidebar() {
    sidebar_ = new QTreeWidget;
    sidebar_->setHeaderHidden(true);
    sidebar_->setRootIsDecorated(false);
    sidebar_->setIndentation(8);
    sidebar_->setMinimumWidth(190);
    sidebar_->setMaximumWidth(280);
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setAccessibleName(QStringLiteral("Tabs and recent scans"));
    auto addSection = [this](const QString& title) {
        auto* section = new QTreeWidgetItem(sidebar_, QStringList{title});
        section->setFlags(Qt::ItemIsEnabled);
        QFont f = section->font(0);
        f.setPointSizeF(f.pointSizeF() * 0.85);
        f.setWeight(QFont::DemiBold);
        section->setFont(0, f);
        section->setForeground(0, DiskTheme::secondary());
        section->setExpanded(true);
        return section;
    };
    auto addTab = [this](QTreeWidgetItem* section, AppTab tab) {
        const auto& i = info(tab);
        auto* row = new QTreeWidgetItem(section, QStringList{DiskTheme::text(i.title)});
        row->setIcon(0, DiskTheme::icon(i.symbol));
        row->setToolTip(0, DiskTheme::text(i.help));
        row->setData(0, kTabRole, int(tab));
        tabRows_[tab] = row;
    };
    auto* understand = addSection(QStringLiteral("Understand"));
    addTab(understand, AppTab::overview);
    addTab(understand, AppTab::explore);
    auto* act = addSection(QStringLiteral("Act"));
    for (auto t : {AppTab::cleanup, AppTab::apps, AppTab::duplicates, AppTab::changes})
        addTab(act, t);
    auto* review = addSection(QStringLiteral("Review"));
    addTab(review, AppTab::stage);
    recent_ = addSection(QStringLiteral("Recent scans"));
    sidebar_->expandAll();
    StoredScans::addRemoveMenu(sidebar_, session_, kHistoryRole);

    // The arrows move through the rows and change the tab on the way;
    // Return opens a recent scan.
    connect(sidebar_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        const QVariant tab = item ? item->data(0, kTabRole) : QVariant();
        if (tab.isValid() && AppTab(tab.toInt()) != session_.tab())
            session_.setTab(AppTab(tab.toInt()));
    });
    connect(sidebar_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, kHistoryRole).isValid()) emit sidebar_->itemClicked(item, 0);
    });
    connect(sidebar_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QVariant tab = item->data(0, kTabRole);
        if (tab.isValid()) {
            session_.setTab(AppTab(tab.toInt()));
            return;
        }
        const QVariant index = item->data(0, kHistoryRole);
        if (index.isValid() && index.toInt() < int(session_.history().size())) {
            const ScanRecord record = session_.history()[std::size_t(index.toInt())];
            session_.loadHistory(record);
            refreshTab();
        }
    });
}

void RootView::refreshHistory() {
    qDeleteAll(recent_->takeChildren());
    const auto& history = session_.history();
    if (history.empty()) {
        auto* none = new QTreeWidgetItem(recent_, QStringList{QStringLiteral("None yet")});
        none->setFlags(Qt::ItemIsEnabled);
        none->setForeground(0, DiskTheme::secondary());
    }
    for (std::size_t i = 0; i < history.size(); ++i) {
        const auto& r = history[i];
        auto* row = new QTreeWidgetItem(recent_);
        // Scans of one folder differ by their date.
        const bool pinned = session_.isPinned(r);
        // Another machine's scan as ssh and scp name it: host:/path.
        const QString root = r.context.isRemote()
                                 ? DiskTheme::displayText(r.context.host + ":" + r.rootPath)
                                 : DiskTheme::displayText(r.rootPath);
        row->setText(0, root + QStringLiteral("\n") + DiskTheme::shortDate(r.finished, false) +
                            QStringLiteral(" \u00b7 ") + DiskTheme::bytes(r.scannedBytes) +
                            (pinned ? QStringLiteral(" \u00b7 Pinned") : QString()));
        row->setToolTip(0, (pinned ? QStringLiteral("Open this saved scan; it is kept whatever "
                                                    "the number of scans kept\n")
                                   : QStringLiteral("Open this saved scan; right-click to pin or "
                                                    "remove it\n")) +
                               QStringLiteral("Scan file: ") +
                               DiskTheme::bytes(StoredScans::fileBytes(r.fileURL)));
        row->setData(0, kHistoryRole, int(i));
    }
}

void RootView::buildToolbar() {
    auto* bar = addToolBar(QStringLiteral("Main"));
    toolbar_ = bar;
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    // The three-segment picker of the Explore tab.
    auto* picker = new QWidget;
    auto* p = new QHBoxLayout(picker);
    p->setContentsMargins(0, 0, 0, 0);
    p->setSpacing(0);
    // No button group: Tab would stop only at a group's checked button.
    for (ViewMode m : {ViewMode::folders, ViewMode::treemap, ViewMode::sunburst, ViewMode::types}) {
        auto* b = new QToolButton;
        b->setText(DiskTheme::text(info(m).title));
        b->setCheckable(true);
        b->setToolTip(DiskTheme::text(info(m).hint));
        b->setAccessibleDescription(b->toolTip());
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QToolButton::clicked, this, [this, m] { session_.setViewMode(m); });
        modes_.push_back({m, b});
        p->addWidget(b);
    }
    picker->setFixedWidth(280);
    picker->setAccessibleName(QStringLiteral("Explore"));
    picker_ = bar->addWidget(picker);

    inspectorToggle_ =
        bar->addAction(DiskTheme::icon("sidebar.right"), QStringLiteral("Inspector"));
    inspectorToggle_->setCheckable(true);
    inspectorToggle_->setToolTip(QStringLiteral("Show or hide the selection inspector"));
    connect(inspectorToggle_, &QAction::triggered, this,
            [this] { session_.setShowInspector(!session_.showInspector()); });

    strip_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    stripItem_ = bar->addWidget(strip_);
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);

    searchField_ = new QLineEdit;
    searchField_->setPlaceholderText(QStringLiteral("Search this scan"));
    searchField_->setClearButtonEnabled(true);
    searchField_->setFixedWidth(220);
    connect(searchField_, &QLineEdit::textEdited, this,
            [this](const QString& t) { session_.setSearchQuery(t.toStdString()); });
    search_ = bar->addWidget(searchField_);

    choose_ = bar->addAction(DiskTheme::icon("folder"), QStringLiteral("Choose Folder"));
    choose_->setToolTip(QStringLiteral("Choose the folder to scan"));
    connect(choose_, &QAction::triggered, this, [this] { session_.chooseRoot(); });

    scan_ = bar->addAction(DiskTheme::icon("magnifyingglass.circle"), QStringLiteral("Scan"));
    scan_->setToolTip(QStringLiteral("Scan the selected folder"));
    Shortcuts::bind(scan_, Shortcuts::Command::scan);
    connect(scan_, &QAction::triggered, this, [this] {
        if (!session_.isScanning()) session_.startScan();
    });
    // A toolbar keeps its buttons out of the Tab chain; here Tab reaches them,
    // and the button that shows what does not fit.
    for (QAction* a : {inspectorToggle_, choose_, scan_}) {
        QWidget* button = bar->widgetForAction(a);
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleDescription(a->toolTip());
    }
    if (auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setFocusPolicy(Qt::TabFocus);
        more->setAccessibleName(QStringLiteral("More toolbar items"));
        setTabOrder(bar->widgetForAction(scan_), more); // it sits at the right end
    }
    searchField_->setAccessibleName(QStringLiteral("Search this scan"));
    // As tall on every tab as on Explore, whatever it shows.
    bar->setFixedHeight(std::max(bar->sizeHint().height(), strip_->sizeHint().height() + 4));
}

QWidget* RootView::toolbar() const {
    return toolbar_;
}

void RootView::buildMenus() {
    auto* file = menuBar()->addMenu(QStringLiteral("&File"));
    auto* settings = file->addAction(QStringLiteral("Settings\u2026"));
    settings->setMenuRole(QAction::PreferencesRole);
    Shortcuts::bind(settings, Shortcuts::Command::settings);
    connect(settings, &QAction::triggered, this, &RootView::openSettings);
    FileActions::addFileActions(file, session_, this);
    auto* remote = file->addAction(QStringLiteral("Scan Remote Folder\u2026"));
    connect(remote, &QAction::triggered, this, [this] { RemoteScanDialog::run(session_, this); });
    file->addSeparator();
    auto* quit = file->addAction(QStringLiteral("Quit"));
    Shortcuts::bind(quit, Shortcuts::Command::quit);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);

    auto* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    auto forward = [this](const char* slot) {
        return [this, slot] {
            if (QWidget* w = QApplication::focusWidget()) QMetaObject::invokeMethod(w, slot);
        };
    };
    // A text field takes Ctrl+Z and Delete itself (QLineEdit overrides the
    // shortcut while it has the focus); elsewhere they act on the tree.
    undo_ = edit->addAction(QStringLiteral("Undo"));
    Shortcuts::bind(undo_, Shortcuts::Command::undo);
    undo_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(undo_); // a menu's shortcut counts only where its actions are added
    connect(undo_, &QAction::triggered, this, [this] { session_.staging().undoLastMove(); });
    connect(&session_.staging(), &StagingStore::receiptsChanged, this, &RootView::refreshUndo);
    refreshUndo();
    const std::tuple<const char*, Shortcuts::Command, const char*> editing[] = {
        {"redo", Shortcuts::Command::redo, "Redo"},
        {"cut", Shortcuts::Command::cut, "Cut"},
        {"copy", Shortcuts::Command::copy, "Copy"},
        {"paste", Shortcuts::Command::paste, "Paste"},
        {"selectAll", Shortcuts::Command::selectAll, "Select All"}};
    for (const auto& [slot, command, title] : editing) {
        auto* a = Shortcuts::bind(edit->addAction(QString::fromLatin1(title)), command);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, forward(slot));
    }
    edit->addSeparator();
    trash_ = edit->addAction(DiskTheme::icon("trash"), QStringLiteral("Move to Trash\u2026"));
    Shortcuts::bind(trash_, Shortcuts::Command::trash);
    trash_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(trash_);
    connect(trash_, &QAction::triggered, this, [this] {
        if (!session_.forest()) return;
        // Several rows chosen in the folder list go together.
        std::vector<const ScanNode*> nodes;
        for (QWidget* w = QApplication::focusWidget(); w && nodes.empty(); w = w->parentWidget())
            if (auto* list = qobject_cast<FolderBrowserView*>(w)) nodes = list->chosenNodes();
        if (nodes.size() < 2) nodes = {session_.selected()};
        std::erase_if(nodes,
                      [this](const ScanNode* n) { return !n || n == session_.forest()->root(); });
        if (!nodes.empty()) TrashPrompt::open(session_, nodes, this);
    });
    edit->addSeparator();

    auto* find = edit->addAction(QStringLiteral("Find\u2026"));
    Shortcuts::bind(find, Shortcuts::Command::find);
    connect(find, &QAction::triggered, this, [this] {
        session_.setTab(AppTab::explore);
        searchField_->setFocus(Qt::ShortcutFocusReason);
        searchField_->selectAll();
    });

    auto* view = menuBar()->addMenu(QStringLiteral("&View"));
    for (std::size_t i = 0; i < navigationTabCount; ++i) {
        const AppTab tab = appTabs[i].tab;
        auto* a =
            view->addAction(DiskTheme::icon(appTabs[i].symbol), DiskTheme::text(appTabs[i].title));
        Shortcuts::bind(a, Shortcuts::forTab(i));
        connect(a, &QAction::triggered, this, [this, tab] { session_.setTab(tab); });
    }
    auto* modes =
        view->addMenu(DiskTheme::icon(info(AppTab::explore).symbol), QStringLiteral("Explore As"));
    for (ViewMode mode : Shortcuts::modeOrder()) {
        auto* a =
            modes->addAction(DiskTheme::icon(info(mode).symbol), DiskTheme::text(info(mode).title));
        Shortcuts::bind(a, Shortcuts::forMode(mode));
        connect(a, &QAction::triggered, this, [this, mode] {
            session_.setTab(AppTab::explore);
            session_.setViewMode(mode);
        });
    }
    view->addSeparator();
    auto* monitor =
        view->addAction(DiskTheme::icon("waveform.path.ecg"), QStringLiteral("Monitor"));
    connect(monitor, &QAction::triggered, this, [this] { session_.setTab(AppTab::monitor); });

    auto* scanMenu = menuBar()->addMenu(QStringLiteral("&Scan"));
    scanMenu->addAction(scan_);
    auto* rescan =
        scanMenu->addAction(DiskTheme::icon("arrow.clockwise"), QStringLiteral("Rescan"));
    Shortcuts::bind(rescan, Shortcuts::Command::rescan);
    connect(rescan, &QAction::triggered, this, [this] {
        if (!session_.isScanning()) session_.startScan();
    });
    FileActions::addRescanFolder(scanMenu, session_, this);
    cancel_ = scanMenu->addAction(DiskTheme::icon("xmark"), QStringLiteral("Cancel Scan"));
    Shortcuts::bind(cancel_, Shortcuts::Command::cancelScan);
    cancel_->setEnabled(false); // only while a scan runs, so Escape stays free otherwise
    connect(cancel_, &QAction::triggered, this, [this] { session_.cancelScan(); });
    scanMenu->addAction(choose_);

    auto* help = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(help->addAction(QStringLiteral("Keyboard Shortcuts")), &QAction::triggered, this,
            &RootView::showShortcuts);
    auto* about = help->addAction(QStringLiteral("About Tarnbeck"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &RootView::showAbout);
}

void RootView::showShortcuts() {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Keyboard Shortcuts"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* table = new QTreeWidget;
    table->setHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Action")});
    table->setRootIsDecorated(false);
    for (const auto& [keys, action] : Shortcuts::listed())
        new QTreeWidgetItem(table, {keys, action});
    table->resizeColumnToContents(0);
    table->setMinimumSize(620, 420);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog.exec();
}

void RootView::showAbout() {
    QMessageBox::about(
        this, QStringLiteral("About Tarnbeck"),
        QStringLiteral("<b>Tarnbeck</b> %1<br>A disk-space analyser. It reads your folders, "
                       "keeps every scan on this computer, and moves nothing but what you "
                       "confirm to the Trash.")
            .arg(QCoreApplication::applicationVersion()));
}

void RootView::openSettings() {
    if (!settingsWindow_) {
        // Scrolls when the sections need more height than the screen gives.
        auto* scroller = new QScrollArea(this);
        scroller->setWindowFlag(Qt::Window);
        scroller->setWindowTitle(QStringLiteral("Settings"));
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setWidgetResizable(true);
        scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto* view = new SettingsView(session_);
        scroller->setWidget(view);
        const int bar = scroller->verticalScrollBar()->sizeHint().width();
        scroller->setFixedWidth(560 + bar);
        // Wrapped lines need the height they take at that width, which the
        // plain size hint leaves out.
        const int wanted = std::max(view->heightForWidth(560), view->sizeHint().height());
        const QScreen* screen = this->screen();
        const int room = screen ? screen->availableGeometry().height() * 9 / 10 : wanted;
        scroller->resize(560 + bar, std::min(wanted, room));
        settingsWindow_ = scroller;
    }
    settingsWindow_->show();
    settingsWindow_->raise();
}

QString RootView::subtitle() const {
    switch (session_.tab()) {
    case AppTab::stage: {
        const auto n = session_.staging().items().size();
        return n == 0 ? QStringLiteral("Nothing selected")
                      : QString::number(n) + QStringLiteral(" selected");
    }
    case AppTab::monitor:
        return session_.volume() ? DiskTheme::displayText(session_.volume()->name)
                                 : QStringLiteral("Volume");
    case AppTab::settings: return QStringLiteral("Safety and updates");
    default:
        return session_.forest() ? DiskTheme::displayText(session_.forest()->context().rootPath)
                                 : QStringLiteral("No scan yet");
    }
}

void RootView::refreshTitle() {
    setWindowTitle(DiskTheme::text(info(session_.tab()).title) + QStringLiteral(" \u2014 ") +
                   subtitle());
}

void RootView::refreshTab() {
    const AppTab tab = session_.tab();
    detail_->setCurrentIndex(pages_[tab]);
    // Monitor and Settings have no row: Overview shows as selected.
    const AppTab row = (tab == AppTab::monitor || tab == AppTab::settings) ? AppTab::overview : tab;
    {
        // Showing the row is not choosing it (Monitor shows the Overview row).
        const QSignalBlocker quiet(sidebar_);
        sidebar_->setCurrentItem(tabRows_[row]);
    }

    const bool explore = tab == AppTab::explore;
    const bool scanning = tab == AppTab::overview || explore;
    picker_->setVisible(explore);
    inspectorToggle_->setVisible(explore);
    search_->setVisible(explore);
    choose_->setVisible(scanning);
    scan_->setVisible(scanning);
    for (const auto& [mode, button] : modes_)
        button->setChecked(mode == session_.viewMode());
    refreshTitle();
}

void RootView::refreshScanning() {
    const bool scanning = session_.isScanning();
    stripItem_->setVisible(scanning);
    cancel_->setEnabled(scanning);
    scan_->setEnabled(!scanning);
    scan_->setText(scanning ? QStringLiteral("Scanning\u2026") : QStringLiteral("Scan"));
}

void RootView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!prepared_) {
        prepared_ = true;
        session_.prepareWorkspaceIfNeeded();
    }
}

void RootView::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    dropOverlay_->setGeometry(centralWidget()->rect());
}

void RootView::setDropTargeted(bool targeted) {
    if (isDropTargeted_ == targeted) return;
    isDropTargeted_ = targeted;
    auto* effect = static_cast<QGraphicsOpacityEffect*>(dropOverlay_->graphicsEffect());
    auto* fade = new QPropertyAnimation(effect, "opacity", dropOverlay_);
    fade->setDuration(160);
    fade->setEasingCurve(QEasingCurve::OutCubic);
    fade->setStartValue(effect->opacity());
    fade->setEndValue(targeted ? 1.0 : 0.0);
    if (targeted) {
        dropOverlay_->setGeometry(centralWidget()->rect());
        dropOverlay_->raise();
        dropOverlay_->show();
    } else {
        connect(fade, &QPropertyAnimation::finished, dropOverlay_, [this] {
            if (!isDropTargeted_) dropOverlay_->hide();
        });
    }
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void RootView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
        setDropTargeted(true);
    }
}

void RootView::dragLeaveEvent(QDragLeaveEvent*) {
    setDropTargeted(false);
}

void RootView::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Only the first item counts; its path keeps the dropped bytes.
    const QUrl first = urls.front();
    std::optional<std::string> path;
    if (first.isLocalFile())
        path = QByteArray::fromPercentEncoding(first.path(QUrl::FullyEncoded).toLatin1())
                   .toStdString();
    QMetaObject::invokeMethod(
        this, [this, path] { session_.handleDroppedFolder(path); }, Qt::QueuedConnection);
}

} // namespace tb
