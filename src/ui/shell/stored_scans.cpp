#include "ui/shell/stored_scans.h"

#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include "platform/file_system.h"
#include "session/app_session.h"
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

} // namespace

std::int64_t fileBytes(const std::string& file) {
    auto values = platform::FileSystem::values(file);
    return values ? values->totalAllocated : 0;
}

void addRemoveMenu(QTreeWidget* sidebar, AppSession& session, int historyRole) {
    sidebar->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(sidebar, &QWidget::customContextMenuRequested, sidebar,
                     [sidebar, &session, historyRole](const QPoint& at) {
                         QTreeWidgetItem* item = sidebar->itemAt(at);
                         if (!item) return;
                         const QVariant index = item->data(0, historyRole);
                         if (!index.isValid() || index.toInt() >= int(session.history().size()))
                             return;
                         const ScanRecord record = session.history()[std::size_t(index.toInt())];
                         QMenu menu(sidebar);
                         QAction* remove = menu.addAction(QStringLiteral("Remove\u2026"));
                         remove->setEnabled(!session.isOpenScan(record));
                         if (menu.exec(sidebar->viewport()->mapToGlobal(at)) == remove)
                             confirmRemoval(sidebar->window(), session, record);
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

    auto* show = TaskWidgets::button(QStringLiteral("Show in File Manager"));
    QObject::connect(show, &QPushButton::clicked, section,
                     [&session, folder] { session.revealInFinder(folder); });
    section->addWidget(TaskWidgets::buttonRow(show));
    return section;
}

} // namespace tb::StoredScans
