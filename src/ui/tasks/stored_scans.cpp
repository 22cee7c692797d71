#include "ui/tasks/stored_scans.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include "platform/file_system.h"
#include "session/app_session.h"
#include "store/scan_retention.h"
#include "store/scan_store.h"
#include "ui/disk_theme.h"
#include "ui/tasks/task_widgets.h"

namespace tb::StoredScans {
namespace {

// Every file of the store counts, side files and foreign files included:
// this is what the folder costs on disk.
std::int64_t folderBytes(const std::string& folder) {
    auto names = platform::FileSystem::listNames(folder);
    if (!names) return 0;
    std::int64_t total = 0;
    for (const std::string& name : *names)
        total += fileBytes(folder + "/" + name);
    return total;
}

void confirmRemoval(QWidget* parent, AppSession& session, const ScanRecord& record) {
    if (session.isOpenScan(record)) {
        QMessageBox::information(parent, QStringLiteral("Remove Scan"),
                                 QStringLiteral("This scan is open. Open another scan before "
                                                "removing it."));
        return;
    }
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Remove Scan"),
                    QStringLiteral("Move the scan of %1 to the Trash?")
                        .arg(DiskTheme::displayText(record.rootPath)),
                    QMessageBox::Cancel, parent);
    ask.setInformativeText(QStringLiteral("Its file (%1) leaves the history. You can put it back "
                                          "from the Trash.")
                               .arg(DiskTheme::bytes(fileBytes(record.fileURL))));
    auto* remove = ask.addButton(QStringLiteral("Move to Trash"), QMessageBox::DestructiveRole);
    ask.setDefaultButton(QMessageBox::Cancel);
    ask.exec();
    if (ask.clickedButton() != remove) return;
    if (Status s = session.removeStoredScan(record); !s) {
        QMessageBox::warning(parent, QStringLiteral("Remove Scan"),
                             QString::fromStdString(s.error().message));
    }
}

// "Keep the last [N] scans of each folder", where 0 reads "All".
QWidget* keepRow(AppSession& session) {
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    auto* count = new QSpinBox;
    count->setObjectName(QStringLiteral("keepScans"));
    count->setRange(0, ScanRetention::kMaxKeep);
    count->setSpecialValueText(QStringLiteral("All"));
    count->setAccessibleName(QStringLiteral("Scans kept of each folder"));
    count->setMinimumWidth(count->fontMetrics().horizontalAdvance(QStringLiteral("999")) + 48);
    count->setMinimumHeight(count->sizeHint().height());
    auto show = [count, &session] {
        const QSignalBlocker quiet(count);
        count->setValue(session.retention().keepPerFolder.value_or(0));
    };
    show();
    QObject::connect(count, &QSpinBox::valueChanged, row, [&session](int n) {
        (void)session.setKeepScans(n == 0 ? std::nullopt : std::optional<int>(n));
    });
    QObject::connect(&session, &AppSession::changed, count, [show](SessionField f) {
        if (f == SessionField::retention) show();
    });
    line->addWidget(new QLabel(QStringLiteral("Keep the last")));
    line->addWidget(count);
    line->addWidget(new QLabel(QStringLiteral("scans of each folder")));
    line->addStretch();
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(row);
    auto* note = TaskWidgets::wrappingLabel(
        QStringLiteral("A new scan deletes its folder's scans beyond this number; pinned ones "
                       "stay (right-click a scan to pin it)."),
        DiskTheme::captionFont(), true);
    column->addWidget(note);
    return box;
}

} // namespace

std::int64_t fileBytes(const std::string& file) {
    auto values = platform::FileSystem::values(file);
    return values ? values->totalAllocated : 0;
}

void addRemoveMenu(QTreeWidget* sidebar, AppSession& session, int historyRole) {
    sidebar->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        sidebar, &QWidget::customContextMenuRequested, sidebar,
        [sidebar, &session, historyRole](const QPoint& at) {
            QTreeWidgetItem* item = sidebar->itemAt(at);
            if (!item) return;
            const QVariant index = item->data(0, historyRole);
            if (!index.isValid() || index.toInt() >= int(session.history().size())) return;
            const ScanRecord record = session.history()[std::size_t(index.toInt())];
            QMenu menu(sidebar);
            QAction* pin = menu.addAction(QStringLiteral("Pinned"));
            pin->setCheckable(true);
            pin->setChecked(session.isPinned(record));
            pin->setToolTip(QStringLiteral("A pinned scan is never removed"));
            QAction* remove = menu.addAction(QStringLiteral("Remove\u2026"));
            remove->setEnabled(!session.isOpenScan(record) && !session.isPinned(record));
            QAction* chosen = menu.exec(sidebar->viewport()->mapToGlobal(at));
            if (chosen == remove) confirmRemoval(sidebar->window(), session, record);
            if (chosen == pin) (void)session.setPinned(record, pin->isChecked());
        });
}

QWidget* usageSection(AppSession& session) {
    auto* section = new FormSection(QStringLiteral("Stored scans"));
    const std::string folder = ScanStore::directory();
    auto* summary = new QLabel;
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary->setWordWrap(true);
    auto refresh = [summary, folder, &session] {
        const std::size_t count = session.history().size();
        summary->setText((count == 1 ? QStringLiteral("%1 scan takes %2 in %3")
                                     : QStringLiteral("%1 scans take %2 in %3"))
                             .arg(count)
                             .arg(DiskTheme::bytes(folderBytes(folder)))
                             .arg(DiskTheme::displayText(folder)));
    };
    refresh();
    QObject::connect(&session, &AppSession::changed, summary, [refresh](SessionField f) {
        if (f == SessionField::history) refresh();
    });
    section->addWidget(summary);
    section->addWidget(keepRow(session));

    auto* show = TaskWidgets::button(QStringLiteral("Show in File Manager"));
    QObject::connect(show, &QPushButton::clicked, section,
                     [&session, folder] { session.revealInFinder(folder); });
    section->addWidget(TaskWidgets::buttonRow(show));
    return section;
}

} // namespace tb::StoredScans
