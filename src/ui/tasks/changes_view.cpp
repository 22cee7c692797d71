#include "ui/tasks/changes_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/count_text.h"
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

QString number(std::size_t n) {
    return QString::fromStdString(CountText::number(std::int64_t(n)));
}

QString countOf(std::size_t n, const char* one, const char* many = "") {
    return QString::fromStdString(CountText::of(std::int64_t(n), one, many));
}

} // namespace

ChangesView::ChangesView(AppSession& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      chooser_(new QWidget),
      comparedWith_(new QComboBox),
      pages_(new QStackedWidget),
      list_(new RowList) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    auto* choose = new QHBoxLayout(chooser_);
    choose->setContentsMargins(0, 0, 0, 4);
    auto* compared =
        TaskWidgets::label(QStringLiteral("Compared with"), DiskTheme::captionFont(), true);
    compared->setBuddy(comparedWith_);
    choose->addWidget(compared);
    comparedWith_->setObjectName(QStringLiteral("comparedWith"));
    comparedWith_->setAccessibleName(QStringLiteral("Compared with"));
    comparedWith_->setToolTip(
        QStringLiteral("Choose which other scan of this folder to compare with"));
    choose->addWidget(comparedWith_);
    choose->addStretch(1);
    layout->addWidget(chooser_);
    connect(comparedWith_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && std::size_t(index) < choices_.size())
            session_.compareWith(choices_[std::size_t(index)]);
    });
    empty_ = new EmptyState(
        "chart.line.uptrend.xyaxis", QStringLiteral("No comparable change yet"),
        QStringLiteral("Scan the same folder again to compare its indexed contents."));
    unchanged_ = new EmptyState(
        "checkmark.circle", QStringLiteral("Nothing changed"),
        QStringLiteral("Every item has the size it had in the previous scan of this folder."));
    pages_->addWidget(list_);
    pages_->addWidget(empty_);
    pages_->addWidget(unchanged_);
    layout->addWidget(pages_, 1);
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::comparedWith || field == SessionField::history ||
            field == SessionField::forest) {
            refreshChoices();
        }
        if (field != SessionField::changes && field != SessionField::changesMessage) return;
        showSmaller_ = false;
        rebuild();
    });
    refreshChoices();
    rebuild();
}

void ChangesView::refreshChoices() {
    choices_ = session_.comparableScans();
    const auto& current = session_.comparedWith();
    const QSignalBlocker quiet(comparedWith_);
    comparedWith_->clear();
    int chosen = -1;
    for (std::size_t i = 0; i < choices_.size(); ++i) {
        const ScanRecord& r = choices_[i];
        comparedWith_->addItem(DiskTheme::shortDate(r.finished) + QStringLiteral(" \u2014 ") +
                               DiskTheme::bytes(r.scannedBytes));
        if (current && current->fileURL == r.fileURL) chosen = int(i);
    }
    comparedWith_->setCurrentIndex(chosen);
    chooser_->setVisible(!choices_.empty());
}

QString ChangesView::smallerSummary(const ChangeList& list, bool shown) {
    const QString count = countOf(list.smallerCount, "smaller change");
    if (!shown) return count + QStringLiteral(" not listed");
    QString text = count + QStringLiteral(" (under 1 MB, or under 5 % of an item over 20 MB)");
    if (list.smaller.size() < list.smallerCount) {
        text += QStringLiteral(", the largest ") + number(list.smaller.size()) +
                QStringLiteral(" shown");
    }
    return text;
}

QWidget* ChangesView::note(const QString& text, QPushButton* action) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 10, 0, 6);
    auto* label = TaskWidgets::label(text, DiskTheme::captionFont(), true);
    label->setObjectName(QStringLiteral("changesNote"));
    layout->addWidget(label);
    if (action) layout->addWidget(action);
    layout->addStretch(1);
    return row;
}

void ChangesView::rebuild() {
    list_->clear();
    showSmallerButton_ = nullptr;
    if (notCompared_) {
        pages_->removeWidget(notCompared_);
        notCompared_->deleteLater();
        notCompared_ = nullptr;
    }
    if (const auto& why = session_.changesMessage()) {
        notCompared_ = new EmptyState("chart.line.uptrend.xyaxis",
                                      QStringLiteral("Scans not compared"), DiskTheme::text(*why));
        pages_->addWidget(notCompared_);
        pages_->setCurrentWidget(notCompared_);
        return;
    }
    const auto& compared = session_.changeList();
    if (!compared) {
        pages_->setCurrentWidget(empty_);
        return;
    }
    if (compared->noticeableCount == 0 && compared->smallerCount == 0) {
        pages_->setCurrentWidget(unchanged_);
        return;
    }
    if (compared->listed.empty())
        list_->addRow(note(QStringLiteral("No change of 1 MB or more since the previous scan.")));
    for (const ScanChange& change : compared->listed)
        list_->addRow(changeRow(change));
    if (compared->listed.size() < compared->noticeableCount) {
        list_->addRow(note(QStringLiteral("The largest ") + number(compared->listed.size()) +
                           QStringLiteral(" of ") + countOf(compared->noticeableCount, "change") +
                           QStringLiteral(" are listed.")));
    }
    if (compared->smallerCount > 0) {
        showSmallerButton_ = TaskWidgets::smallButton(showSmaller_ ? QStringLiteral("Hide Them")
                                                                   : QStringLiteral("Show Them"));
        showSmallerButton_->setObjectName(QStringLiteral("showSmallerChanges"));
        connect(showSmallerButton_, &QPushButton::clicked, this, [this] {
            showSmaller_ = !showSmaller_;
            rebuild();
        });
        list_->addRow(note(smallerSummary(*compared, showSmaller_), showSmallerButton_));
        if (showSmaller_) {
            for (const ScanChange& change : compared->smaller)
                list_->addRow(changeRow(change));
        }
    }
    pages_->setCurrentWidget(list_);
}

} // namespace tb
