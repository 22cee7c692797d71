#include "ui/tasks/staging_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "analysis/protected_paths.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

QWidget* sectionTitle(const QString& title, const QString& detail = {}) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 18, 0, 4);
    layout->setSpacing(2);
    layout->addWidget(TaskWidgets::label(title, DiskTheme::title3()));
    if (!detail.isEmpty()) {
        layout->addWidget(TaskWidgets::wrappingLabel(detail, DiskTheme::captionFont(), true));
    }
    return box;
}

QWidget* step(const QString& title, const QString& detail) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(TaskWidgets::label(title, DiskTheme::headline()));
    layout->addWidget(TaskWidgets::label(detail, DiskTheme::captionFont(), true));
    return box;
}

// A box of rows stacked without gaps, for one section of the list.
QVBoxLayout* sectionBox(RowList* list) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    list->addRow(box);
    return layout;
}

} // namespace

template <typename Value>
template <typename MakeRow>
void KeptRows<Value>::update(const std::vector<Value>& values, MakeRow makeRow) {
    // Values are few hundred at most and mostly unchanged between updates:
    // walk both lists in order, looking ahead only where they differ.
    std::vector<std::pair<Value, QWidget*>> next;
    next.reserve(values.size());
    std::vector<bool> taken(rows_.size(), false);
    std::size_t cursor = 0;
    for (const Value& v : values) {
        QWidget* row = nullptr;
        for (std::size_t i = cursor; i < rows_.size(); ++i) {
            if (!taken[i] && rows_[i].first == v) {
                taken[i] = true;
                row = rows_[i].second;
                if (i == cursor) ++cursor;
                break;
            }
        }
        if (!row) row = makeRow(v);
        next.emplace_back(v, row);
    }
    while (QLayoutItem* item = layout_->takeAt(0))
        delete item; // the widgets stay
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (taken[i]) continue;
        QWidget* gone = rows_[i].second;
        gone->hide();
        gone->setParent(nullptr);
        gone->deleteLater();
    }
    for (auto& [value, row] : next)
        layout_->addWidget(row);
    rows_ = std::move(next);
}

QString StagingView::selectedText(std::size_t count) {
    return QString::number(qulonglong(count)) +
           (count == 1 ? QStringLiteral(" item") : QStringLiteral(" items")) +
           QStringLiteral(" selected");
}

CleanupCandidate StagingView::candidate(const QuickWin& win) {
    CleanupCandidate c;
    c.id = win.id;
    c.title = win.title;
    c.url = win.url;
    c.bytes = win.bytes;
    c.owner = "Known location";
    c.reason = win.why;
    c.evidence = win.url;
    c.risk = CleanupRisk::review;
    c.isDirectory = true;
    return c;
}

StagingView::StagingView(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session), list_(new RowList), items_(nullptr), receipts_(nullptr) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* trash = TaskWidgets::button(QStringLiteral("Move to Trash"), "trash");
    trash->setToolTip(QStringLiteral("Move the reviewed items to Trash"));
    TaskWidgets::headerBar(layout)->addWidget(trash);
    list_->content()->setContentsMargins(24, 4, 24, 24);
    layout->addWidget(list_, 1);

    list_->addRow(introBlock());
    summary_ = sectionBox(list_);
    list_->addRow(sectionTitle(QStringLiteral("Ready to review")));
    emptyQueue_ = emptyQueueBlock();
    list_->addRow(emptyQueue_);
    items_ = KeptRows<StagedItem>(sectionBox(list_));
    list_->addRow(sectionTitle(
        QStringLiteral("Suggested cleanup"),
        QStringLiteral(
            "These are known rebuildable locations. Add only the items you understand.")));
    suggestions_ = sectionBox(list_);
    list_->addRow(sectionTitle(QStringLiteral("Recent results")));
    receipts_ = KeptRows<OperationReceipt>(sectionBox(list_));

    connect(trash, &QPushButton::clicked, this, &StagingView::confirmTrash);
    // One refresh for the several signals a single action sends.
    auto schedule = [this] {
        if (refreshPending_) return;
        refreshPending_ = true;
        QTimer::singleShot(0, this, [this] { refresh(); });
    };
    StagingStore& staging = session_.staging();
    connect(&staging, &StagingStore::itemsChanged, this, schedule);
    connect(&staging, &StagingStore::receiptsChanged, this, schedule);
    connect(&staging, &StagingStore::lastMessageChanged, this, schedule);
    connect(&session_, &AppSession::changed, this, [schedule](SessionField field) {
        if (field == SessionField::quickWins) schedule();
    });
    refresh();
}

// The size and what the move gives back differ when a file has names outside
// the queue (hard links): those stay, and so does its space.
QString StagingView::confirmationText(std::size_t count, std::int64_t bytes, std::int64_t frees) {
    return QStringLiteral("Move %1 %2 (%3) to the Trash? Frees about %4.")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("item") : QStringLiteral("items"))
        .arg(DiskTheme::bytes(bytes))
        .arg(DiskTheme::bytes(frees));
}

// Cancel is the default, so a stray Return moves nothing. The dialog is
// opened, not run, so the window keeps painting behind it.
void StagingView::confirmTrash() {
    const StagingStore& staging = session_.staging();
    if (staging.items().empty()) {
        session_.staging().trashAll(); // only reports that nothing was moved
        return;
    }
    if (confirmation_) return;
    auto* box = new QMessageBox(
        QMessageBox::Question, QStringLiteral("Move to Trash"),
        confirmationText(staging.items().size(), staging.totalBytes(), staging.freesAbout()),
        QMessageBox::NoButton, this);
    box->setInformativeText(QStringLiteral(
        "Each item is checked again just before it moves. You can put items back from Recent "
        "results or from the Trash."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    auto* move = box->addButton(QStringLiteral("Move to Trash"), QMessageBox::DestructiveRole);
    auto* cancel = box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::buttonClicked, this, [this, move](QAbstractButton* clicked) {
        if (clicked == move) session_.staging().trashAll();
    });
    confirmation_ = box;
    box->open();
}

// Another instance may have moved items or put some back meanwhile.
void StagingView::showEvent(QShowEvent* event) {
    session_.staging().reloadReceipts();
    QWidget::showEvent(event);
}

void StagingView::refresh() {
    refreshPending_ = false;
    const StagingStore& staging = session_.staging();
    refreshSummary();
    emptyQueue_->setVisible(staging.items().empty());
    items_.update(staging.items(), [this](const StagedItem& item) { return itemRow(item); });
    refreshSuggestions();
    receipts_.update(staging.receipts(),
                     [this](const OperationReceipt& receipt) { return receiptRow(receipt); });
}

QWidget* StagingView::introBlock() {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 8, 0, 12);
    layout->setSpacing(6);
    layout->addWidget(
        TaskWidgets::label(QStringLiteral("Review before removal"), DiskTheme::title()));
    layout->addWidget(TaskWidgets::wrappingLabel(
        QStringLiteral("Nothing moves until you confirm it here. Tarnbeck rechecks every path "
                       "immediately before using Trash."),
        DiskTheme::body(), true));
    auto* steps = new QHBoxLayout;
    steps->setSpacing(14);
    steps->addWidget(step(QStringLiteral("Select"), QStringLiteral("Explore or Clean Up")));
    steps->addWidget(TaskWidgets::icon("chevron.right", 14, DiskTheme::secondary()));
    steps->addWidget(step(QStringLiteral("Review"), QStringLiteral("Reason and consequence")));
    steps->addWidget(TaskWidgets::icon("chevron.right", 14, DiskTheme::secondary()));
    steps->addWidget(step(QStringLiteral("Confirm"), QStringLiteral("Move to Trash")));
    steps->addStretch(1);
    layout->addSpacing(6);
    layout->addLayout(steps);
    return box;
}

QWidget* StagingView::emptyQueueBlock() {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 4, 0, 8);
    layout->addWidget(TaskWidgets::wrappingLabel(
        QStringLiteral(
            "Select an item to see its size, evidence and consequence before adding it here."),
        DiskTheme::body(), true));
    auto* buttons = new QHBoxLayout;
    auto* explore = TaskWidgets::button(QStringLiteral("Open Explore"), "square.grid.2x2");
    auto* cleanup = TaskWidgets::button(QStringLiteral("Open Clean Up"), "sparkles");
    connect(explore, &QPushButton::clicked, this, [this] { session_.setTab(AppTab::explore); });
    connect(cleanup, &QPushButton::clicked, this, [this] { session_.setTab(AppTab::cleanup); });
    buttons->addWidget(explore);
    buttons->addWidget(cleanup);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return box;
}

void StagingView::refreshSummary() {
    TaskWidgets::clearLayout(summary_);
    const StagingStore& staging = session_.staging();
    const bool queued = !staging.items().empty();
    TaskWidgets::RowParts parts = TaskWidgets::iconRow(
        TaskWidgets::icon(queued ? "tray.full.fill" : "tray", 28,
                          queued ? DiskTheme::accent() : DiskTheme::secondary()));
    parts.row->layout()->setContentsMargins(0, 12, 0, 12);
    if (queued) {
        parts.texts->addWidget(
            TaskWidgets::label(selectedText(staging.items().size()), DiskTheme::title3()));
        parts.texts->addWidget(TaskWidgets::label(
            QStringLiteral("Frees about ") + DiskTheme::bytes(staging.freesAbout()),
            DiskTheme::body(), true));
        auto* trash = TaskWidgets::button(QStringLiteral("Move to Trash"), "trash");
        connect(trash, &QPushButton::clicked, this, &StagingView::confirmTrash);
        parts.trailing->addWidget(trash, 0, Qt::AlignVCenter);
    } else {
        parts.texts->addWidget(
            TaskWidgets::label(QStringLiteral("Your review queue is empty"), DiskTheme::title3()));
        parts.texts->addWidget(TaskWidgets::label(
            QStringLiteral("Add something from Explore or Clean Up."), DiskTheme::body(), true));
    }
    // The outcome of the last queue action, which nothing else shows.
    if (staging.lastMessage()) {
        auto* message = TaskWidgets::wrappingLabel(DiskTheme::displayText(*staging.lastMessage()),
                                                   DiskTheme::captionFont(), true);
        message->setObjectName(QStringLiteral("lastMessage"));
        parts.texts->addWidget(message);
    }
    summary_->addWidget(parts.row);
}

QWidget* StagingView::itemRow(const StagedItem& item) {
    const int checkSize = QFontMetrics(DiskTheme::title3()).height();
    TaskWidgets::RowParts parts = TaskWidgets::iconRow(
        TaskWidgets::icon("checkmark.square.fill", checkSize, DiskTheme::accent()));
    parts.texts->addWidget(
        TaskWidgets::label(DiskTheme::displayText(item.name), DiskTheme::headline()));
    parts.texts->addWidget(TaskWidgets::wrappingLabel(DiskTheme::displayText(item.reason),
                                                      DiskTheme::callout(), true));
    parts.texts->addWidget(TaskWidgets::path(item.url));
    parts.trailing->addWidget(TaskWidgets::label(DiskTheme::bytes(item.bytes), DiskTheme::mono(12)),
                              0, Qt::AlignTop);
    auto* remove = TaskWidgets::smallButton(QStringLiteral("Remove"), "xmark.circle");
    connect(remove, &QPushButton::clicked, this, [this, item] { session_.staging().remove(item); });
    parts.trailing->addWidget(remove, 0, Qt::AlignTop);
    return parts.row;
}

void StagingView::refreshSuggestions() {
    TaskWidgets::clearLayout(suggestions_);
    const StagingStore& staging = session_.staging();
    const auto& wins = session_.quickWins();
    if (!wins.empty()) {
        // Rows inside another are already part of its size.
        const bool nested = std::any_of(wins.begin(), wins.end(),
                                        [](const QuickWin& w) { return !w.within.empty(); });
        suggestions_->addWidget(TaskWidgets::label(
            QStringLiteral("Together %1").arg(DiskTheme::bytes(QuickWins::total(wins))) +
                (nested ? QStringLiteral("; indented rows lie inside the row above them and "
                                         "count once.")
                        : QStringLiteral(".")),
            DiskTheme::captionFont(), true));
    }
    for (const QuickWin& win : wins) {
        const bool queued = staging.isStaged(win.url);
        TaskWidgets::RowParts parts = TaskWidgets::iconRow(
            TaskWidgets::icon(queued ? "checkmark.circle.fill" : "sparkles", 20,
                              queued ? DiskTheme::green() : DiskTheme::accent()));
        if (!win.within.empty()) {
            const QMargins m = parts.row->layout()->contentsMargins();
            parts.row->layout()->setContentsMargins(m.left() + 28, m.top(), m.right(), m.bottom());
        }
        parts.texts->addWidget(
            TaskWidgets::label(DiskTheme::displayText(win.title), DiskTheme::headline()));
        parts.texts->addWidget(
            TaskWidgets::wrappingLabel(DiskTheme::text(win.why), DiskTheme::captionFont(), true));
        parts.texts->addWidget(TaskWidgets::path(win.url));
        parts.trailing->addWidget(
            TaskWidgets::label(DiskTheme::bytes(win.bytes), DiskTheme::mono(12)), 0, Qt::AlignTop);
        // The Trash is emptied from the file manager, and system locations
        // with their own command: neither goes through the queue.
        const bool refused = win.id == "trash" || ProtectedPaths::isProtected(win.url);
        auto* add = queued    ? TaskWidgets::button(QStringLiteral("Added"), "checkmark")
                    : refused ? TaskWidgets::button(QStringLiteral("Not queueable"))
                              : TaskWidgets::button(QStringLiteral("Add to queue"), "plus");
        add->setEnabled(!queued && !refused);
        if (refused) {
            add->setToolTip(win.id == "trash"
                                ? QStringLiteral("Empty the Trash from your file manager.")
                                : QStringLiteral("System paths cannot be staged."));
        }
        connect(add, &QPushButton::clicked, this,
                [this, c = candidate(win)] { session_.staging().stage(c); });
        parts.trailing->addWidget(add, 0, Qt::AlignTop);
        suggestions_->addWidget(parts.row);
    }
}

QWidget* StagingView::receiptRow(const OperationReceipt& receipt) {
    TaskWidgets::RowParts parts = TaskWidgets::iconRow(
        TaskWidgets::icon(receipt.succeeded ? "checkmark.circle.fill" : "xmark.circle.fill", 18,
                          receipt.succeeded ? DiskTheme::green() : DiskTheme::orange()));
    parts.texts->addWidget(
        TaskWidgets::label(DiskTheme::displayText(receipt.name), DiskTheme::body()));
    parts.texts->addWidget(TaskWidgets::wrappingLabel(DiskTheme::displayText(receipt.message),
                                                      DiskTheme::captionFont(), true));
    if (receipt.succeeded) {
        auto* restore = TaskWidgets::smallButton(QStringLiteral("Restore"), "arrow.uturn.backward");
        connect(restore, &QPushButton::clicked, this,
                [this, receipt] { session_.staging().restore(receipt); });
        parts.trailing->addWidget(restore, 0, Qt::AlignTop);
    }
    return parts.row;
}

} // namespace tb
