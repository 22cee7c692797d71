#include "ui/tasks/changes_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

std::string_view symbol(ScanChange::Kind kind) {
    switch (kind) {
    case ScanChange::Kind::added: return "plus.circle";
    case ScanChange::Kind::removed: return "minus.circle";
    case ScanChange::Kind::grew: return "arrow.up.right.circle";
    case ScanChange::Kind::shrank: return "arrow.down.right.circle";
    }
    return "plus.circle";
}

QWidget* changeRow(const ScanChange& change) {
    using namespace TaskWidgets;
    const std::int64_t delta = change.delta();
    // Green when the change frees space.
    const QColor tint = delta < 0 ? DiskTheme::green() : DiskTheme::orange();
    RowParts parts = iconRow(icon(symbol(change.kind), 20, tint));
    parts.texts->addWidget(label(DiskTheme::displayText(change.name), DiskTheme::body()));
    parts.texts->addWidget(
        new ElidedLabel(DiskTheme::displayText(change.path), DiskTheme::captionFont()));

    auto* difference = label(signedBytes(delta), DiskTheme::mono(12));
    QPalette p = difference->palette();
    p.setColor(QPalette::WindowText, tint);
    difference->setPalette(p);
    difference->setObjectName(QStringLiteral("delta"));
    parts.trailing->addWidget(difference);
    return parts.row;
}

} // namespace

ChangesView::ChangesView(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session), pages_(new QStackedWidget), list_(new RowList) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    empty_ = new EmptyState(
        "chart.line.uptrend.xyaxis", QStringLiteral("No comparable change yet"),
        QStringLiteral("Scan the same folder again to compare its indexed contents."));
    pages_->addWidget(list_);
    pages_->addWidget(empty_);
    layout->addWidget(pages_, 1);
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::changes || field == SessionField::changesMessage) rebuild();
    });
    rebuild();
}

void ChangesView::rebuild() {
    list_->clear();
    for (const ScanChange& change : session_.changes())
        list_->addRow(changeRow(change));
    if (notCompared_) {
        pages_->removeWidget(notCompared_);
        notCompared_->deleteLater();
        notCompared_ = nullptr;
    }
    QWidget* emptyPage = empty_;
    if (const auto& why = session_.changesMessage(); why && session_.changes().empty()) {
        notCompared_ = new EmptyState("chart.line.uptrend.xyaxis",
                                      QStringLiteral("Scans not compared"), DiskTheme::text(*why));
        pages_->addWidget(notCompared_);
        emptyPage = notCompared_;
    }
    pages_->setCurrentWidget(session_.changes().empty() ? emptyPage : static_cast<QWidget*>(list_));
}

} // namespace tb
