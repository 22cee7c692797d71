#include "ui/tasks/duplicates_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "base/count_text.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

const QString runTitle = QStringLiteral("Run Full Content Match");
const QString matchingTitle = QStringLiteral("Matching\u2026");

} // namespace

std::int64_t DuplicatesView::reclaimable(const DuplicateGroup& group) {
    const auto others = std::max<std::int64_t>(std::int64_t(group.paths.size()), 1) - 1;
    return group.size * others;
}

DuplicatesView::DuplicatesView(AppSession& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      runAgain_(TaskWidgets::button(QStringLiteral("Run Again"), "arrow.clockwise")),
      runFirst_(TaskWidgets::button(runTitle)),
      pages_(new QStackedWidget),
      list_(new RowList) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    TaskWidgets::headerBar(layout)->addWidget(runAgain_);

    auto* empty = new EmptyState(
        "square.on.square", QStringLiteral("Find identical files"),
        QStringLiteral("Tarnbeck compares full file contents after a fast candidate pass. "
                       "Nothing is staged automatically."));
    empty->addButton(runFirst_);
    empty_ = empty;
    pages_->addWidget(list_);
    pages_->addWidget(empty_);
    layout->addWidget(pages_, 1);

    connect(runAgain_, &QPushButton::clicked, this, [this] { session_.findDuplicates(); });
    connect(runFirst_, &QPushButton::clicked, this, [this] { session_.findDuplicates(); });
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::duplicates) rebuild();
        if (field == SessionField::isFindingDuplicates) refreshMatching();
    });
    connect(&session_.staging(), &StagingStore::itemsChanged, this,
            [this] { queueButtons_.refresh(session_.staging()); });
    rebuild();
    refreshMatching();
}

void DuplicatesView::refreshMatching() {
    const bool matching = session_.isFindingDuplicates();
    runAgain_->setText(matching ? matchingTitle : QStringLiteral("Run Again"));
    runAgain_->setEnabled(!matching);
    runFirst_->setText(matching ? matchingTitle : runTitle);
}

void DuplicatesView::rebuild() {
    list_->clear();
    queueButtons_.clear();
    for (const DuplicateGroup& group : session_.duplicates())
        list_->addRow(groupBlock(group));
    queueButtons_.refresh(session_.staging());
    const bool found = !session_.duplicates().empty();
    pages_->setCurrentWidget(found ? static_cast<QWidget*>(list_) : empty_);
    // Without groups the empty state's button runs the match; "again" would
    // claim a run that may never have happened.
    runAgain_->setVisible(found);
}

QWidget* DuplicatesView::groupBlock(const DuplicateGroup& group) {
    using namespace TaskWidgets;
    auto* block = new TaskRow;
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 12, 0, 12);
    layout->setSpacing(4);

    auto* header = new QHBoxLayout;
    header->addWidget(label(
        QString::fromStdString(CountText::of(std::int64_t(group.paths.size()), "identical file")),
        DiskTheme::headline()));
    header->addStretch(1);
    header->addWidget(label(DiskTheme::bytes(reclaimable(group)), DiskTheme::mono(12)));
    layout->addLayout(header);

    if (!group.paths.empty()) {
        auto* retained = new QHBoxLayout;
        retained->setSpacing(0);
        retained->addWidget(label(QStringLiteral("The last path is retained by default: "),
                                  DiskTheme::caption2(), true));
        retained->addWidget(path(group.paths.back()), 1);
        layout->addLayout(retained);
    }

    for (std::size_t i = 0; i + 1 < group.paths.size(); ++i) {
        const std::string& p = group.paths[i];
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        ElidedLabel* shown = path(p);
        shown->setColor(DiskTheme::primary());
        line->addWidget(shown, 1);
        QPushButton* add = smallButton(QStringLiteral("Add to queue"), "plus");
        connect(add, &QPushButton::clicked, this,
                [this, p, size = group.size] { session_.stageDuplicate(p, size, reason); });
        queueButtons_.track(add, p, QueueButtons::Style::disableOnly);
        line->addWidget(add);
        layout->addLayout(line);
    }
    return block;
}

} // namespace tb
