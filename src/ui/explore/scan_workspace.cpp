#include "ui/explore/scan_workspace.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QComboBox>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <unordered_set>

#include "base/byte_format.h"
#include "base/count_text.h"
#include "base/path.h"
#include "session/app_session.h"
#include "ui/explore/age_map_view.h"
#include "ui/explore/maps/bubble_view.h"
#include "ui/disk_theme.h"
#include "layout/map_depth.h"
#include "ui/shortcuts.h"
#include "ui/explore/maps/flame_view.h"
#include "ui/explore/maps/kind_legend.h"
#include "ui/explore/folder_browser_view.h"
#include "ui/explore/maps/mind_map_view.h"
#include "ui/explore/scan_progress_panel.h"
#include "ui/explore/maps/sunburst_view.h"
#include "ui/explore/top_sizes_view.h"
#include "ui/explore/maps/treemap_view.h"
#include "ui/explore/explore_text.h"
#include "ui/explore/node_menu.h"
#include "ui/explore/types_view.h"
#include "scan/size_ranking.h"

namespace tb {

namespace {

const QString instructionTail =
    QStringLiteral(" Select an item to inspect it, or use Clean Up to review rebuildable storage.");

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
        for (QPushButton* button : buttons_)
            delete button;
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

    searchPanel_ = buildSearchResults();
    layout->addWidget(searchPanel_);

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
    // The depth box comes later; its first value is given here.
    treemap_->setDepth(defaultDepth);
    sunburst_->setDepth(defaultDepth);
    flame_ = new FlameView(session_);
    bubbles_ = new BubbleView(session_);
    mindMap_ = new MindMapView(session_);
    topSizes_ = new TopSizesView(session_);
    ageMap_ = new AgeMapView(session_);
    types_ = new TypesView(session_);
    for (QWidget* w :
         std::initializer_list<QWidget*>{progress_, empty_, folders_, treemap_, sunburst_, flame_,
                                         bubbles_, mindMap_, topSizes_, ageMap_, types_}) {
        stack_->addWidget(w);
    }
    for (const ViewModeInfo& mode : viewModes)
        viewFor(mode.mode)->setAccessibleName(DiskTheme::text(mode.title));
    layout->addWidget(stack_, 1);
    legend_ = new KindLegend;
    legend_->setVisible(false);
    layout->addWidget(legend_);
    for (MapView* map :
         std::initializer_list<MapView*>{treemap_, sunburst_, flame_, bubbles_, mindMap_}) {
        connect(map, &MapView::bucketOpened, this, &ScanWorkspace::showBucketList);
    }

    // Going up and through the focus history, from anywhere in the pane.
    const std::pair<Shortcuts::Command, std::function<void()>> keys[] = {
        {Shortcuts::Command::goUp, [this] { session_.goUp(); }},
        {Shortcuts::Command::back, [this] { session_.popFocus(); }},
        {Shortcuts::Command::forward, [this] { session_.goForward(); }},
    };
    for (const auto& [command, action] : keys) {
        auto* shortcut = Shortcuts::bind(this, command, Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, action] {
            if (session_.forest() && !session_.isScanning()) action();
        });
    }
    qApp->installEventFilter(this);

    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        switch (field) {
        case SessionField::viewMode: onChanged(chrome | visual); break;
        case SessionField::isScanning:
        case SessionField::scanRoot: onChanged(visual); break;
        case SessionField::focus: onChanged(visual | chrome); break;
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
    depthControls_ = buildDepthControls();
    layout->addWidget(depthControls_);
    modeMenu_ = buildModeMenu();
    layout->addWidget(modeMenu_);
    back_ = new QPushButton(QStringLiteral("Back"));
    back_->setObjectName(QStringLiteral("breadcrumbBack"));
    back_->setToolTip(
        QStringLiteral("Back (%1)").arg(Shortcuts::keysText(Shortcuts::Command::back)));
    connect(back_, &QPushButton::clicked, this, [this] { session_.popFocus(); });
    layout->addWidget(back_);
    forward_ = new QPushButton(QStringLiteral("Forward"));
    forward_->setObjectName(QStringLiteral("breadcrumbForward"));
    forward_->setToolTip(
        QStringLiteral("Forward (%1)").arg(Shortcuts::keysText(Shortcuts::Command::forward)));
    connect(forward_, &QPushButton::clicked, this, [this] { session_.goForward(); });
    layout->addWidget(forward_);
    // As high with Back and Forward as without, so nothing below moves.
    bar->setFixedHeight(std::max(
        {back_->sizeHint().height(), depth_->sizeHint().height(), modeMenu_->sizeHint().height()}));
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
        QAction* action =
            menu->addAction(DiskTheme::icon(mode.symbol), DiskTheme::text(mode.title));
        action->setToolTip(DiskTheme::text(mode.hint));
        connect(action, &QAction::triggered, this,
                [this, m = mode.mode] { session_.setViewMode(m); });
    }
    button->setMenu(menu);
    return button;
}

void ScanWorkspace::refreshChrome() {
    const bool loaded = session_.forest().has_value();
    instruction_->setVisible(loaded);
    breadcrumb_->setVisible(loaded);
    const ViewModeInfo& mode = info(session_.viewMode());
    instruction_->setText(DiskTheme::text(mode.hint) + instructionTail);
    modeMenu_->setText(DiskTheme::text(mode.title));
    modeMenu_->setIcon(DiskTheme::icon(mode.symbol));
    refreshMapControls();

    while (QLayoutItem* item = trailLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    // Every folder from the root down to the focus, each one a way back to it.
    const ScanNode* focus = session_.displayRoot();
    std::vector<const ScanNode*> chain = session_.ancestors(focus);
    if (!chain.empty()) chain.erase(chain.begin()); // the root is the Root button
    if (focus && session_.forest() && focus != session_.forest()->root()) chain.push_back(focus);
    for (const ScanNode* node : chain) {
        auto* chevron = new QLabel;
        chevron->setPixmap(DiskTheme::icon("chevron.compact.right").pixmap(10, 10));
        chevron->setEnabled(false); // the secondary style of an icon
        auto* name = new QPushButton(
            DiskTheme::displayText(node->name()).replace(QLatin1Char('&'), QStringLiteral("&&")));
        name->setObjectName(QStringLiteral("breadcrumbItem"));
        name->setFlat(true);
        name->setFont(DiskTheme::sized(12, QFont::Medium));
        name->setToolTip(DiskTheme::displayText(node->path()));
        connect(name, &QPushButton::clicked, this, [this, node] {
            if (node != session_.displayRoot()) session_.jumpTo(node);
        });
        trailLayout_->addWidget(chevron);
        trailLayout_->addWidget(name);
    }
    forward_->setVisible(!session_.forwardTrail().empty());
    back_->setVisible(!session_.trail().empty());
}

// --- search results -------------------------------------------------------------

QWidget* ScanWorkspace::buildSearchResults() {
    auto* panel = new QWidget;
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    searchList_ = new QTreeWidget;
    searchList_->setObjectName(QStringLiteral("searchResults"));
    searchList_->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Path")});
    searchList_->setRootIsDecorated(false);
    searchList_->setUniformRowHeights(true);
    searchList_->header()->setStretchLastSection(true);
    searchList_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    searchList_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    searchList_->setContextMenuPolicy(Qt::CustomContextMenu);
    auto hitAt = [this](QTreeWidgetItem* item) -> const ScanNode* {
        const int row = item ? searchList_->indexOfTopLevelItem(item) : -1;
        const auto& hits = session_.searchHits();
        return row >= 0 && std::size_t(row) < hits.size() ? hits[std::size_t(row)] : nullptr;
    };
    auto choose = [this, hitAt](QTreeWidgetItem* item) {
        if (const ScanNode* node = hitAt(item)) session_.jumpTo(node);
    };
    connect(searchList_, &QTreeWidget::itemClicked, this, choose);
    connect(searchList_, &QTreeWidget::itemActivated, this, choose);
    connect(searchList_, &QWidget::customContextMenuRequested, this, [this, hitAt](QPoint pos) {
        if (const ScanNode* node = hitAt(searchList_->itemAt(pos))) {
            NodeMenu::popup(session_, *node, this, searchList_->viewport()->mapToGlobal(pos));
        }
    });
    showAll_ = new QPushButton;
    showAll_->setObjectName(QStringLiteral("searchShowAll"));
    showAll_->setFlat(true);
    connect(showAll_, &QPushButton::clicked, this, [this] {
        showAllHits_ = !showAllHits_;
        refreshSearchResults();
    });
    layout->addWidget(searchList_);
    layout->addWidget(showAll_, 0, Qt::AlignLeft);
    return panel;
}

QString ScanWorkspace::showAllText(std::size_t listed, std::size_t matched, bool showingAll) {
    auto number = [](std::size_t n) {
        return QString::fromStdString(CountText::number(std::int64_t(n)));
    };
    if (matched <= listed) {
        return showingAll ? QStringLiteral("Show fewer")
                          : QStringLiteral("Show all ") + number(listed);
    }
    const QString share = number(listed) + QStringLiteral(" of ") + number(matched);
    return showingAll ? QStringLiteral("Show fewer (the largest ") + share + QStringLiteral(")")
                      : QStringLiteral("Show ") + share;
}

// Largest first, with size and place; the first twelve, or all on request.
void ScanWorkspace::refreshSearchResults() {
    const auto& hits = session_.searchHits();
    if (hits.empty()) showAllHits_ = false;
    searchList_->clear();
    const std::string root =
        session_.forest() ? std::string(session_.forest()->root()->path()) : std::string();
    const std::size_t shown = showAllHits_ ? hits.size() : std::min(hits.size(), searchButtonLimit);
    for (std::size_t i = 0; i < shown; ++i) {
        const ScanNode* node = hits[i];
        auto* item =
            new QTreeWidgetItem(searchList_, {DiskTheme::displayText(node->name()),
                                              DiskTheme::bytes(node->allocatedSize()),
                                              ExploreText::relativePath(node->path(), root)});
        item->setIcon(0, DiskTheme::icon(node->isDirectory() ? "folder" : "doc"));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(2, DiskTheme::displayText(node->path()));
    }
    searchList_->scrollToTop();
    // Tall enough for up to eight rows; more scroll.
    const int rowHeight = shown ? searchList_->sizeHintForRow(0) : 0;
    searchList_->setFixedHeight(searchList_->header()->sizeHint().height() +
                                rowHeight * int(std::min<std::size_t>(shown, 8)) + 4);
    showAll_->setVisible(hits.size() > searchButtonLimit);
    showAll_->setText(showAllText(hits.size(), session_.searchMatchCount(), showAllHits_));
    searchPanel_->setVisible(!hits.empty());
}

void ScanWorkspace::refreshPastScans() {
    const auto& hits = session_.historyHits();
    pastButtons_->clear();
    for (const HistoryHit& hit : hits) {
        pastButtons_->add(DiskTheme::displayText(hit.name) + QStringLiteral(" · ") +
                              QString::fromStdString(ByteFormat::string(hit.allocatedSize)),
                          DiskTheme::displayText(hit.path),
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
    auto* steps = new QLabel(QStringLiteral(
        "1. Click Scan \u2014 it uses the folder in the title, or Choose Folder first.\n"
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
    connect(
        Shortcuts::bind(page, Shortcuts::Command::scanFromEmpty, Qt::WidgetWithChildrenShortcut),
        &QShortcut::activated, emptyScan_, [this] {
            if (emptyScan_->isEnabled()) emptyScan_->click();
        });

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

QWidget* ScanWorkspace::visualisation() const {
    return stack_->currentWidget();
}

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
    case ViewMode::types: return types_;
    }
    return folders_;
}

void ScanWorkspace::refreshVisualisation() {
    const bool scanning = session_.isScanning();
    emptyScan_->setText(scanning
                            ? QStringLiteral("Scanning\u2026")
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
    types_->setRoot(rootFor(types_));

    if (scanning) {
        stack_->setCurrentWidget(progress_);
    } else {
        stack_->setCurrentWidget(shown ? shown : empty_);
    }
    refreshMapControls();
}

// --- depth, buckets, mouse history buttons ---------------------------------------

QWidget* ScanWorkspace::buildDepthControls() {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* label = new QLabel(QStringLiteral("Depth"));
    DiskTheme::makeSecondary(label, 11);
    depthLabel_ = label;
    depth_ = new QComboBox;
    depth_->setObjectName(QStringLiteral("mapDepth"));
    for (int d = 1; d <= MapDepth::deepestNumbered; ++d)
        depth_->addItem(QString::number(d), d);
    depth_->addItem(QStringLiteral("All levels"), MapDepth::all);
    depth_->setToolTip(QStringLiteral("Levels shown at once"));
    depth_->setAccessibleDescription(depth_->toolTip());
    depth_->setCurrentIndex(depth_->findData(defaultDepth));
    label->setBuddy(depth_);
    connect(depth_, &QComboBox::currentIndexChanged, this, [this] {
        const int depth = mapDepth();
        treemap_->setDepth(depth);
        sunburst_->setDepth(depth);
        refreshMapControls();
        emit mapSettingsChanged();
    });
    cushions_ = new QToolButton;
    cushions_->setObjectName(QStringLiteral("cushions"));
    cushions_->setText(QStringLiteral("Cushions"));
    cushions_->setCheckable(true);
    cushions_->setChecked(true);
    cushions_->setAutoRaise(true);
    cushions_->setToolTip(QStringLiteral("Shade the tiles as cushions"));
    connect(cushions_, &QToolButton::toggled, this, [this](bool on) { treemap_->setCushions(on); });
    colourByType_ = new QToolButton;
    colourByType_->setObjectName(QStringLiteral("colourByType"));
    colourByType_->setText(QStringLiteral("Colour by Type"));
    colourByType_->setCheckable(true);
    colourByType_->setAutoRaise(true);
    colourByType_->setToolTip(
        QStringLiteral("Colour the maps by file type instead of shades of one colour"));
    connect(colourByType_, &QToolButton::toggled, this, [this](bool on) {
        const MapColours colours = on ? MapColours::kinds : MapColours::shades;
        for (MapView* map : std::initializer_list<MapView*>{treemap_, sunburst_, flame_})
            map->setColours(colours);
        refreshMapControls();
        emit mapSettingsChanged();
    });
    layout->addWidget(label);
    layout->addWidget(depth_);
    layout->addWidget(cushions_);
    layout->addWidget(colourByType_);
    return box;
}

// Depth for the nested maps, cushions for the nested treemap, colours and
// their legend for the three maps that take them.
void ScanWorkspace::refreshMapControls() {
    const ViewMode mode = session_.viewMode();
    const bool deep = mode == ViewMode::treemap || mode == ViewMode::sunburst;
    const bool coloured = deep || mode == ViewMode::flame;
    depthControls_->setVisible(coloured);
    depthLabel_->setVisible(deep);
    depth_->setVisible(deep);
    cushions_->setVisible(mode == ViewMode::treemap && mapDepth() > 1);
    const QWidget* shown = stack_->currentWidget();
    legend_->setVisible(colourByType() &&
                        (shown == treemap_ || shown == sunburst_ || shown == flame_));
}

void ScanWorkspace::setMapDepth(int depth) {
    const int at = depth_->findData(MapDepth::normalized(depth));
    if (at >= 0) depth_->setCurrentIndex(at);
}

int ScanWorkspace::mapDepth() const {
    return depth_->currentData().toInt();
}

void ScanWorkspace::setColourByType(bool on) {
    colourByType_->setChecked(on);
}

bool ScanWorkspace::colourByType() const {
    return colourByType_->isChecked();
}

std::vector<const ScanNode*> ScanWorkspace::bucketItems(const ScanNode* folder) {
    std::vector<const ScanNode*> items;
    if (!folder) return items;
    const RankedChildren ranked = MapLayout::ranked(folder->children(), MapLayout::visibleLimit);
    std::unordered_set<const ScanNode*> shown(ranked.visible.begin(), ranked.visible.end());
    for (const ScanNode* child : folder->children()) {
        if (!shown.count(child)) items.push_back(child);
    }
    return items;
}

// What a bucket holds, in a popup list: a click goes to the item.
void ScanWorkspace::showBucketList(const ScanNode* folder, QPoint globalPos) {
    const auto items = bucketItems(folder);
    if (items.empty()) return;
    delete bucketList_;
    auto* popup = new QFrame(this, Qt::Popup);
    popup->setObjectName(QStringLiteral("bucketList"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(popup);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* title = new QLabel(QStringLiteral("Other (") + QString::number(items.size()) +
                             QStringLiteral(") in ") + DiskTheme::displayText(folder->name()));
    title->setFont(DiskTheme::sized(12, QFont::DemiBold));
    auto* list = new QTreeWidget;
    list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    list->header()->setStretchLastSection(false);
    for (const ScanNode* node : items) {
        auto* item = new QTreeWidgetItem(
            list, {DiskTheme::displayText(node->name()), DiskTheme::bytes(node->allocatedSize())});
        item->setIcon(0, DiskTheme::icon(node->isDirectory() ? "folder" : "doc"));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(0, DiskTheme::displayText(node->path()));
    }
    auto go = [this, popup, list, items](QTreeWidgetItem* item) {
        const int row = list->indexOfTopLevelItem(item);
        if (row < 0) return;
        const ScanNode* node = items[std::size_t(row)];
        popup->close();
        session_.jumpTo(node);
    };
    connect(list, &QTreeWidget::itemClicked, popup, go);
    connect(list, &QTreeWidget::itemActivated, popup, go);
    // The list names nodes of this forest only.
    connect(&session_, &AppSession::changed, popup, [popup](SessionField f) {
        if (f == SessionField::forest) popup->close();
    });
    layout->addWidget(title);
    layout->addWidget(list);
    popup->resize(380, std::min(420, 60 + 24 * int(items.size())));
    // Beside the pointer, but wholly on its screen.
    QPoint at = globalPos;
    if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect room = screen->availableGeometry();
        at.setX(
            std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - popup->width())));
        at.setY(
            std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - popup->height())));
    }
    popup->move(at);
    bucketList_ = popup;
    popup->show();
    list->setFocus();
}

// The mouse's back and forward buttons, wherever the pointer is in the window.
bool ScanWorkspace::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && isVisible() && session_.forest() &&
        !session_.isScanning()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if (widget && widget->window() == window() &&
            (button == Qt::BackButton || button == Qt::ForwardButton)) {
            if (button == Qt::BackButton) {
                session_.popFocus();
            } else {
                session_.goForward();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tb
