#include "ui/explore/types_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

#include "base/byte_format.h"
#include "scan/byte_sum.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/explore/explore_text.h"
#include "ui/explore/node_menu.h"

namespace tb {
namespace {

QTreeWidget* makeList(const QStringList& headers) {
    auto* list = new QTreeWidget;
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setFrameShape(QFrame::NoFrame);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < headers.size(); ++c)
        list->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    return list;
}

} // namespace

TypesView::TypesView(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session), link_(std::make_shared<SessionLink<TypesView>>(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    kinds_ = makeList({QStringLiteral("Kind"), QStringLiteral("Size"), QStringLiteral("Share"),
                       QStringLiteral("Files")});
    kinds_->setObjectName(QStringLiteral("typeKinds"));
    kinds_->setRootIsDecorated(true); // each kind opens on its extensions
    kinds_->setAccessibleName(QStringLiteral("Kinds of files"));
    filesTitle_ = new QLabel;
    DiskTheme::makeSecondary(filesTitle_, 11);
    files_ = makeList({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Path")});
    files_->setObjectName(QStringLiteral("typeFiles"));
    files_->setAccessibleName(QStringLiteral("Largest files of the kind"));
    files_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    files_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    files_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(kinds_, 2);
    layout->addWidget(filesTitle_);
    layout->addWidget(files_, 3);

    connect(kinds_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        // An extension's row chooses its kind.
        if (item && item->parent()) item = item->parent();
        if (item) chooseKind(kinds_->indexOfTopLevelItem(item));
    });
    connect(files_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (const ScanNode* n = fileAt(files_->indexOfTopLevelItem(item))) session_.select(n);
    });
    connect(files_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (const ScanNode* n = fileAt(files_->indexOfTopLevelItem(item))) session_.jumpTo(n);
    });
    connect(files_, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        if (const ScanNode* n = fileAt(files_->indexOfTopLevelItem(files_->itemAt(pos)))) {
            NodeMenu::popup(session_, *n, this, files_->viewport()->mapToGlobal(pos));
        }
    });
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        // The old forest may already be gone: drop its pointers unread.
        if (field == SessionField::forest) setRoot(nullptr);
        if (field == SessionField::selected) followSelection();
    });
}

TypesView::~TypesView() {
    link_->cut();
}

void TypesView::setRoot(const ScanNode* root) {
    if (root == root_) return;
    root_ = root;
    const std::uint64_t generation = ++generation_;
    showGroups({});
    if (!root || !session_.forest()) return;
    filesTitle_->setText(QStringLiteral("Counting files by kind\u2026"));
    // The forest's copy keeps the nodes alive until the count is back; a
    // later root or forest makes the answer stale.
    std::thread([link = link_, forest = *session_.forest(), root, generation] {
        auto groups = FileKinds::breakdown(root);
        link->post([generation, groups = std::move(groups)](TypesView& view) {
            if (view.generation_ == generation) view.showGroups(groups);
        });
    }).detach();
}

void TypesView::showGroups(std::vector<FileKinds::Group> groups) {
    groups_ = std::move(groups);
    chosen_ = -1;
    kinds_->clear();
    files_->clear();
    filesTitle_->clear();
    std::int64_t total = 0;
    for (const auto& g : groups_)
        total = addBytes(total, g.bytes);
    auto share = [total](std::int64_t bytes) {
        return QString::number(ByteFormat::percent(double(bytes), double(total)), 'f', 1) +
               QStringLiteral(" %");
    };
    for (const auto& g : groups_) {
        const auto title = FileKinds::title(g.kind);
        auto* row = new QTreeWidgetItem(
            kinds_, {QString::fromLatin1(title.data(), qsizetype(title.size())),
                     DiskTheme::bytes(g.bytes), share(g.bytes), QString::number(g.count)});
        QFont heading = row->font(0);
        heading.setWeight(QFont::DemiBold);
        for (int c = 0; c < 4; ++c) {
            row->setFont(c, heading);
            if (c > 0) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        for (const auto& e : g.extensions) {
            auto* sub = new QTreeWidgetItem(row, {extensionText(e), DiskTheme::bytes(e.bytes),
                                                  share(e.bytes), QString::number(e.count)});
            for (int c = 1; c < 4; ++c)
                sub->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    kinds_->expandAll();
    if (!groups_.empty()) kinds_->setCurrentItem(kinds_->topLevelItem(0));
}

QString TypesView::extensionText(const FileKinds::ExtensionRow& row) {
    if (row.rest) return QStringLiteral("Other extensions");
    if (row.extension.empty()) return QStringLiteral("No extension");
    // Extensions are bytes of a name: shown as names are.
    return DiskTheme::displayText("." + row.extension);
}

void TypesView::chooseKind(int row) {
    if (row < 0 || std::size_t(row) >= groups_.size() || row == chosen_) return;
    chosen_ = row;
    const auto& group = groups_[std::size_t(row)];
    const auto title = FileKinds::title(group.kind);
    filesTitle_->setText(QStringLiteral("Largest files: ") +
                         QString::fromLatin1(title.data(), qsizetype(title.size())));
    files_->clear();
    const std::string rootPath = root_ ? std::string(root_->path()) : std::string();
    for (const ScanNode* n : group.largest) {
        auto* item = new QTreeWidgetItem(
            files_, {DiskTheme::displayText(n->name()), DiskTheme::bytes(n->allocatedSize()),
                     ExploreText::relativePath(n->path(), rootPath)});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(2, DiskTheme::displayText(n->path()));
    }
    files_->scrollToTop();
    followSelection();
}

// The session's selection is the highlighted file when it is one of the rows.
void TypesView::followSelection() {
    QTreeWidgetItem* row = nullptr;
    if (chosen_ >= 0) {
        const auto& largest = groups_[std::size_t(chosen_)].largest;
        const auto it = std::find(largest.begin(), largest.end(), session_.selected());
        if (it != largest.end()) row = files_->topLevelItem(int(it - largest.begin()));
    }
    files_->clearSelection();
    if (row) files_->setCurrentItem(row);
}

const ScanNode* TypesView::fileAt(int row) const {
    if (chosen_ < 0 || row < 0) return nullptr;
    const auto& largest = groups_[std::size_t(chosen_)].largest;
    return std::size_t(row) < largest.size() ? largest[std::size_t(row)] : nullptr;
}

} // namespace tb
