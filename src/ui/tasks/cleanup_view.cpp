#include "ui/tasks/cleanup_view.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "analysis/protected_paths.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

// QButtonGroup numbers a button added with -1 itself, so "All" needs an id
// of its own beside the risks' values.
constexpr int allSegment = 100;

// How the item comes back, with the commands in `backticks` set in a
// monospaced face.
QLabel* comesBack(const std::string& regenerate) {
    if (regenerate.empty()) {
        return TaskWidgets::wrappingLabel(QStringLiteral("Does not come back once removed."),
                                          DiskTheme::captionFont(), true);
    }
    const QStringList parts = DiskTheme::text(regenerate).split(QLatin1Char('`'));
    QString html = QStringLiteral("Comes back: ");
    for (int i = 0; i < parts.size(); ++i) {
        const QString escaped = parts[i].toHtmlEscaped();
        html += i % 2 ? QStringLiteral("<code>") + escaped + QStringLiteral("</code>") : escaped;
    }
    QLabel* l = TaskWidgets::wrappingLabel(QString(), DiskTheme::captionFont(), true);
    l->setTextFormat(Qt::RichText);
    l->setText(html);
    l->setAccessibleName(DiskTheme::text(regenerate));
    return l;
}

QWidget* candidateRow(const CleanupCandidate& c, QPushButton* add) {
    using namespace TaskWidgets;
    const bool rebuildable = c.risk == CleanupRisk::safe;
    RowParts parts = iconRow(icon(rebuildable ? "checkmark.shield" : "exclamationmark.shield", 20,
                                  rebuildable ? DiskTheme::green() : DiskTheme::orange()));
    parts.row->layout()->setContentsMargins(0, 10, 0, 10);
    auto* titleLine = new QHBoxLayout;
    titleLine->setSpacing(8);
    titleLine->addWidget(label(DiskTheme::displayText(c.title), DiskTheme::headline()));
    titleLine->addWidget(label(DiskTheme::text(c.owner), DiskTheme::captionFont(), true));
    titleLine->addStretch(1);
    parts.texts->addLayout(titleLine);
    parts.texts->addWidget(
        wrappingLabel(DiskTheme::text(c.reason), DiskTheme::captionFont(), true));
    parts.texts->addWidget(
        wrappingLabel(DiskTheme::text(c.evidence), DiskTheme::captionFont(), true));
    parts.texts->addWidget(comesBack(c.regenerate));
    parts.texts->addWidget(path(c.url));
    parts.trailing->addWidget(label(DiskTheme::bytes(c.bytes), DiskTheme::mono(12)), 0,
                              Qt::AlignTop);
    parts.trailing->addWidget(add, 0, Qt::AlignTop);
    return parts.row;
}

// Read-only: the machine's own storage is given back by its command, which
// the user runs; the row only says what and how much.
QWidget* systemRow(const SystemReclaim& r) {
    using namespace TaskWidgets;
    RowParts parts = iconRow(icon("gearshape", 20, DiskTheme::secondary()));
    parts.row->layout()->setContentsMargins(0, 10, 0, 10);
    parts.texts->addWidget(label(DiskTheme::text(r.title), DiskTheme::headline()));
    parts.texts->addWidget(
        wrappingLabel(DiskTheme::text(r.detail), DiskTheme::captionFont(), true));
    QLabel* command = label(DiskTheme::text(r.command), DiskTheme::mono(11));
    command->setTextInteractionFlags(Qt::TextSelectableByMouse);
    command->setToolTip(QStringLiteral("Run this in a terminal to reclaim the space."));
    parts.texts->addWidget(command);
    parts.trailing->addWidget(label(DiskTheme::bytes(r.bytes), DiskTheme::mono(12)), 0,
                              Qt::AlignTop);
    return parts.row;
}

} // namespace

CleanupView::CleanupView(AppSession& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      picker_(new QButtonGroup(this)),
      pages_(new QStackedWidget),
      list_(new RowList) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QHBoxLayout* bar = TaskWidgets::headerBar(layout);
    auto* confidence = TaskWidgets::label(QStringLiteral("Confidence"), DiskTheme::body());
    bar->insertWidget(0, confidence);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    auto addSegment = [&](const QString& title, int id) {
        auto* b = new QPushButton(title);
        b->setCheckable(true);
        b->setChecked(id == allSegment);
        picker_->addButton(b, id);
        segments->addWidget(b);
    };
    addSegment(QStringLiteral("All"), allSegment);
    for (CleanupRisk risk : allCleanupRisks)
        addSegment(DiskTheme::text(rawValue(risk)), int(risk));
    picker_->setExclusive(true);
    bar->insertLayout(1, segments);
    auto* openQueue = TaskWidgets::button(QStringLiteral("Open Review Queue"), "tray.full");
    bar->addWidget(openQueue);

    empty_ = new EmptyState("checkmark.circle", QStringLiteral("Nothing to review"),
                            QStringLiteral("Run a scan or change the confidence filter."));
    pages_->addWidget(list_);
    pages_->addWidget(empty_);
    layout->addWidget(pages_, 1);

    connect(picker_, &QButtonGroup::idClicked, this, [this](int id) {
        setFilter(id == allSegment ? std::nullopt : std::optional<CleanupRisk>(CleanupRisk(id)));
    });
    connect(openQueue, &QPushButton::clicked, this, [this] { session_.setTab(AppTab::stage); });
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::cleanupCandidates || field == SessionField::systemReclaims)
            rebuild();
    });
    connect(&session_.staging(), &StagingStore::itemsChanged, this,
            [this] { queueButtons_.refresh(session_.staging()); });
    rebuild();
}

void CleanupView::setFilter(std::optional<CleanupRisk> risk) {
    filter_ = risk;
    if (QAbstractButton* b = picker_->button(risk ? int(*risk) : allSegment)) b->setChecked(true);
    applyFilter();
}

void CleanupView::rebuild() {
    list_->clear();
    rows_.clear();
    queueButtons_.clear();
    for (const CleanupCandidate& c : session_.cleanupCandidates()) {
        QPushButton* add = nullptr;
        if (ProtectedPaths::isProtected(c.url)) {
            // System caches are reclaimed with their own command (in the
            // reason), never through the Trash.
            add = TaskWidgets::button(QStringLiteral("System path"));
            add->setEnabled(false);
            add->setToolTip(QStringLiteral("System paths cannot be staged."));
        } else {
            add = TaskWidgets::button(QStringLiteral("Add to queue"));
            connect(add, &QPushButton::clicked, this, [this, c] { session_.stage(c); });
            queueButtons_.track(add, c.url, QueueButtons::Style::readsAdded);
        }
        QWidget* row = candidateRow(c, add);
        list_->addRow(row);
        rows_.emplace_back(row, c.risk);
    }
    systemRows_ = 0;
    listEmpty_ = nullptr;
    if (!session_.systemReclaims().empty()) {
        // The machine's rows stay in view, so the empty state goes above them.
        listEmpty_ = new EmptyState("checkmark.circle", QStringLiteral("Nothing to review"),
                                    QStringLiteral("Run a scan or change the confidence filter."));
        list_->addRow(listEmpty_);
        list_->addRow(TaskWidgets::sectionHeading(
            QStringLiteral("System"),
            QStringLiteral("Space this computer keeps outside your files. Nothing here goes to "
                           "the Trash; each command gives it back.")));
        for (const SystemReclaim& r : session_.systemReclaims()) {
            list_->addRow(systemRow(r));
            ++systemRows_;
        }
    }
    queueButtons_.refresh(session_.staging());
    applyFilter();
}

void CleanupView::applyFilter() {
    int shown = 0;
    for (auto& [row, risk] : rows_) {
        const bool keep = !filter_ || *filter_ == risk;
        row->setVisible(keep);
        shown += keep ? 1 : 0;
    }
    if (listEmpty_) listEmpty_->setVisible(shown == 0);
    pages_->setCurrentWidget(shown > 0 || systemRows_ > 0 ? static_cast<QWidget*>(list_) : empty_);
}

} // namespace tb
