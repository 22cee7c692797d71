#include "ui/explore/scan_workspace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

#include "base/path.h"
#include "session/app_session.h"
#include "ui/explore/age_map_view.h"
#include "ui/explore/maps/bubble_view.h"
#include "ui/disk_theme.h"
#include "ui/explore/maps/flame_view.h"
#include "ui/explore/folder_browser_view.h"
#include "ui/explore/maps/mind_map_view.h"
#include "ui/explore/scan_progress_panel.h"
#include "ui/explore/maps/sunburst_view.h"
#include "ui/explore/top_sizes_view.h"
#include "ui/explore/maps/treemap_view.h"

namespace tb {

namespace {

const QString instructionTail =
    QStringLiteral(" Select an item to inspect it, or use Clean Up to review rebuildable storage.");

QString text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

} // namespace

// A horizontal, scrollable row of small bordered buttons.
class ButtonRow : public QScrollArea {
public:
    ButtonRow(QString buttonName, QWidget* parent = nullptr)
        : QScrollArea(parent), buttonName_(std::move(buttonName)) {
        auto* content = new QWidget;
        layout_ = new QHBoxLayout(content);
        layout_->setContentsMargins(0, 0, 0, 0);
        layout_->setSpacing(6);
        layout_->addStretch();
        setWidget(content);
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void clear() {
        for (QPushButton* button : buttons_) delete button;
        buttons_.clear();
    }

    void add(const QString& label, const QString& toolTip, std::function<void()> action) {
        auto* button = new QPushButton(label);
        button->setObjectName(buttonName_);
        button->setFont(DiskTheme::sized(11));
        button->setToolTip(toolTip);
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this, std::move(action));
        layout_->insertWidget(int(buttons_.size()), button);
        buttons_.push_back(button);
    }

    // Tall enough for one row of buttons and, when they overflow, the scroll bar.
    void fitHeight() {
        const int buttons = buttons_.empty() ? 0 : buttons_.front()->sizeHint().height();
        setFixedHeight(buttons + horizontalScrollBar()->sizeHint().height() + 2);
    }

private:
    QString buttonName_;
    QHBoxLayout* layout_;
    std::vector<QPushButton*> buttons_;
};

ScanWorkspace::ScanWorkspace(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);

    instruction_ = new QLabel;
    instruction_->setWordWrap(true);
    DiskTheme::makeSecondary(instruction_, 11);
    layout->addWidget(instruction_);

    breadcrumb_ = buildBreadcrumb();
    layout->addWidget(breadcrumb_);

    searchRow_ = new ButtonRow(QStringLiteral("searchHit"));
    layout->addWidget(searchRow_);

    pastRow_ = new QWidget;
    auto* pastLayout = new QHBoxLayout(pastRow_);
    pastLayout->setContentsMargins(0, 0, 0, 0);
    auto* pastLabel = new QLabel(QStringLiteral("Past scans"));
    DiskTheme::makeSecondary(pastLabel, 11);
    pastButtons_ = new ButtonRow(QStringLiteral("pastScan"));
    pastLayout->addWidget(pastLabel);
    pastLayout->addWidget(pastButtons_, 1);
    layout->addWidget(pastRow_);

    stack_ = new QStackedWidget;
    progress_ = new ScanProgressPanel(session_);
    empty_ = buildEmptyState();
    folders_ = new FolderBrowserView(session_);
    treemap_ = new TreemapView(session_);
    sunburst_ = new SunburstView(session_);
    flame_ = new FlameView(session_);
    bubbles_ = new BubbleView(session_);
    mindMap_ = new MindMapView(session_);
    topSizes_ = new TopSizesView(session_);
    ageMap_ = new AgeMapView(session_);
    for (QWidget* w : std::initializer_list<QWidget*>{progress_, empty_, folders_, treemap_, sunburst_,
                                                      flame_, bubbles_, mindMap_, topSizes_, ageMap_}) {
        stack_->addWidget(w);
    }
    layout->addWidget(stack_, 1);

    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        switch (field) {
        case SessionField::viewMode: onChanged(chrome | visual); break;
        case SessionField::isScanning:
        case SessionField::scanRoot:
        case SessionField::focus: onChanged(visual); break;
        case SessionField::forest: onChanged(all); break;
        case SessionField::trail: onChanged(chrome); break;
        case SessionField::searchHits: onChanged(searchResults); break;
        case SessionField::historyHits: onChanged(pastScans); break;
        default: break;
        }
    });
    pending_ = all;
    refresh();
}

void ScanWorkspace::onChanged(unsigned parts) {
    // The first change of a burst queues one refresh for all of them.
    if (pending_ == 0) QTimer::singleShot(0, this, &ScanWorkspace::refresh);
    pending_ |= parts;
}

void ScanWorkspace::refresh() {
    const unsigned parts = pending_;
    pending_ = 0;
    if (parts & chrome) refreshChrome();
    if (parts & searchResults) refreshSearchResults();
    if (parts & pastScans) refreshPastScans();
    if (parts & visual) refreshVisualisation();
}

// --- instruction line and breadcrumb -----------------------------------------

QWidget* ScanWorkspace::buildBreadcrumb() {
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* root = new QPushButton(QStringLiteral("Root"));
    root->setFlat(true);
    root->setObjectName(QStringLiteral("breadcrumbRoot"));
    connect(root, &QPushButton::clicked, this, [this] { session_.resetFocus(); });
    layout->addWidget(root);
    trailLayout_ = new QHBoxLayout;
    trailLayout_->setSpacing(6);
    layout->addLayout(trailLayout_);
    layout->addStretch(1);
    modeMenu_ = buildModeMenu();
    layout->addWidget(modeMenu_);
    back_ = new QPushButton(QStringLiteral("Back"));
    back_->setObjectName(QStringLiteral("breadcrumbBack"));
    connect(back_, &QPushButton::clicked, this, [this] { session_.popFocus(); });
    layout->addWidget(back_);
    return bar;
}

// The toolbar offers three modes; this reaches all eight.
QToolButton* ScanWorkspace::buildModeMenu() {
    auto* button = new QToolButton;
    button->setObjectName(QStringLiteral("viewModeMenu"));
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    auto* menu = new QMenu(button);
    for (const ViewModeInfo& mode : viewModes) {
        QAction* action = menu->addAction(DiskTheme::icon(mode.symbol), text(mode.title));
        action->setToolTip(text(mode.hint));
        connect(action, &QAction::triggered, this, [this, m = mode.mode] { session_.setViewMode(m); });
    }
    button->setMenu(menu);
    return button;
}

void ScanWorkspace::refreshChrome() {
    const bool loaded = session_.forest().has_value();
    instruction_->setVisible(loaded);
    breadcrumb_->setVisible(loaded);
    const ViewModeInfo& mode = info(session_.viewMode());
    instruction_->setText(text(mode.hint) + instructionTail);
    modeMenu_->setText(text(mode.title));
    modeMenu_->setIcon(DiskTheme::icon(mode.symbol));

    while (QLayoutItem* item = trailLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const ScanNode* node : session_.trail()) {
        auto* chevron = new QLabel;
        chevron->setPixmap(DiskTheme::icon("chevron.compact.right").pixmap(10, 10));
        chevron->setEnabled(false);  // the secondary style of an icon
        auto* name = DiskTheme::nameLabel(node->name());
        name->setFont(DiskTheme::sized(12, QFont::Medium));
        trailLayout_->addWidget(chevron);
        trailLayout_->addWidget(name);
    }
    back_->setVisible(!session_.trail().empty());
}

// --- search results -------------------------------------------------------------

void ScanWorkspace::refreshSearchResults() {
    const auto& hits = session_.searchHits();
    searchRow_->clear();
    for (std::size_t i = 0; i < hits.size() && i < searchButtonLimit; ++i) {
        const ScanNode* node = hits[i];
        searchRow_->add(DiskTheme::displayText(node->name()), DiskTheme::displayText(node->path()),
                        [this, node] { session_.jumpTo(node); });
    }
    searchRow_->fitHeight();
    searchRow_->setVisible(!hits.empty());
}

void ScanWorkspace::refreshPastScans() {
    const auto& hits = session_.historyHits();
    pastButtons_->clear();
    for (const HistoryHit& hit : hits) {
        pastButtons_->add(DiskTheme::displayText(hit.name), DiskTheme::displayText(hit.path),
                          [this, hit] { session_.loadHistory(hit.record, hit.path); });
    }
    pastButtons_->fitHeight();
    pastRow_->setVisible(!hits.empty());
}

// --- visualisation ---------------------------------------------------------------

QWidget* ScanWorkspace::buildEmptyState() {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    auto* box = new QWidget;
    box->setMaximumWidth(440);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(10);

    auto* icon = new QLabel;
    icon->setPixmap(DiskTheme::icon("internaldrive").pixmap(48, 48));
    icon->setAlignment(Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("Find what\u2019s using space"));
    title->setFont(DiskTheme::display(22));
    title->setAlignment(Qt::AlignHCenter);
    auto* steps = new QLabel(
        QStringLiteral("1. Click Scan \u2014 it uses the folder in the title, or Choose Folder first.\n"
                       "2. Pick Treemap or Folders in the sidebar.\n"
                       "3. Click an item; the inspector says what it is and whether it is safe to stage."));
    steps->setWordWrap(true);
    DiskTheme::makeSecondary(steps);

    emptyScan_ = new QPushButton;
    emptyScan_->setObjectName(QStringLiteral("emptyScan"));
    emptyScan_->setDefault(true);
    emptyScan_->setFont(DiskTheme::sized(13, QFont::DemiBold));
    emptyScan_->setMinimumHeight(DiskTheme::hit - 8);
    connect(emptyScan_, &QPushButton::clicked, this, [this] { session_.startScan(); });
    auto* choose = new QPushButton(QStringLiteral("Choose Folder"));
    choose->setObjectName(QStringLiteral("emptyChoose"));
    connect(choose, &QPushButton::clicked, this, [this] { session_.chooseRoot(); });
    // Outside a dialog nothing presses the default button on Return.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), page);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, emptyScan_, [this] {
            if (emptyScan_->isEnabled()) emptyScan_->click();
        });
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(emptyScan_);
    buttons->addWidget(choose);
    buttons->addStretch();

    layout->addWidget(icon);
    layout->addWidget(title);
    layout->addWidget(steps);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    // Centred through stretches rather than an alignment flag, so that the
    // wrapped steps get the height their width needs.
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(box, 1);
    row->addStretch();
    outer->addStretch();
    outer->addLayout(row);
    outer->addStretch();
    return page;
}

QWidget* ScanWorkspace::visualisation() const { return stack_->currentWidget(); }

QWidget* ScanWorkspace::viewFor(ViewMode mode) const {
    switch (mode) {
    case ViewMode::folders: return folders_;
    case ViewMode::sunburst: return sunburst_;
    case ViewMode::flame: return flame_;
    case ViewMode::bubbles: return bubbles_;
    case ViewMode::mindmap: return mindMap_;
    case ViewMode::topsizes: return topSizes_;
    case ViewMode::agemap: return ageMap_;
    case ViewMode::treemap: return treemap_;
    }
    return folders_;
}

void ScanWorkspace::refreshVisualisation() {
    const bool scanning = session_.isScanning();
    emptyScan_->setText(scanning ? QStringLiteral("Scanning\u2026")
                                 : QStringLiteral("Scan ") +
                                       DiskTheme::displayText(Path::lastComponent(session_.scanRoot())));
    emptyScan_->setEnabled(!scanning);

    // Only the view on screen holds a root; the others lay out nothing.
    const ScanNode* root = scanning ? nullptr : session_.displayRoot();
    QWidget* shown = root ? viewFor(session_.viewMode()) : nullptr;
    auto rootFor = [&](QWidget* view) { return view == shown ? root : nullptr; };
    folders_->setRoot(rootFor(folders_));
    treemap_->setRoot(rootFor(treemap_));
    sunburst_->setRoot(rootFor(sunburst_));
    flame_->setRoot(rootFor(flame_));
    bubbles_->setRoot(rootFor(bubbles_));
    mindMap_->setRoot(rootFor(mindMap_));
    std::vector<const ScanNode*> largest;
    if (shown == topSizes_ && session_.forest()) largest = session_.forest()->largestFiles();
    topSizes_->setRoot(rootFor(topSizes_), std::move(largest));
    ageMap_->setRoot(rootFor(ageMap_));

    if (scanning) {
        stack_->setCurrentWidget(progress_);
    } else {
        stack_->setCurrentWidget(shown ? shown : empty_);
    }
}

} // namespace tb
