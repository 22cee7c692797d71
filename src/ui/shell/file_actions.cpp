#include "ui/shell/file_actions.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QVBoxLayout>

#include "base/path.h"
#include "session/app_session.h"
#include "ui/shortcuts.h"
#include "ui/disk_theme.h"
#include "ui/shell/volumes_view.h"

namespace tb::FileActions {
namespace {

std::string rawPath(const QString& chosen) {
    return QFile::encodeName(chosen).toStdString();
}

QString startFolder(AppSession& session) {
    return QFile::decodeName(session.scanRoot().c_str());
}

} // namespace

void addFileActions(QMenu* file, AppSession& session, QWidget* window) {
    QAction* first = file->actions().isEmpty() ? nullptr : file->actions().first();
    auto* open = new QAction(QStringLiteral("Open Scan File\u2026"), file);
    open->setObjectName(QStringLiteral("openScanFile"));
    Shortcuts::bind(open, Shortcuts::Command::openScanFile);
    QObject::connect(open, &QAction::triggered, window, [&session, window] {
        const QString chosen = QFileDialog::getOpenFileName(
            window, QStringLiteral("Open Scan File"), startFolder(session),
            QStringLiteral("Scans and ncdu exports (*.sqlite *.json *.json.gz);;All files (*)"));
        if (!chosen.isEmpty()) session.openScanFile(rawPath(chosen));
    });
    auto* exportJson = new QAction(QStringLiteral("Export as ncdu JSON\u2026"), file);
    exportJson->setObjectName(QStringLiteral("exportNcdu"));
    QObject::connect(exportJson, &QAction::triggered, window, [&session, window] {
        if (!session.forest()) return;
        const std::string name(Path::displayName(session.forest()->root()->path()));
        const QString suggested = startFolder(session) + QStringLiteral("/") +
                                  QFile::decodeName(name.c_str()) + QStringLiteral(".json");
        const QString chosen =
            QFileDialog::getSaveFileName(window, QStringLiteral("Export as ncdu JSON"), suggested,
                                         QStringLiteral("ncdu exports (*.json)"));
        if (!chosen.isEmpty()) session.exportNcdu(rawPath(chosen));
    });
    auto refreshExport = [exportJson, &session] { exportJson->setEnabled(bool(session.forest())); };
    QObject::connect(&session, &AppSession::changed, exportJson, [refreshExport](SessionField f) {
        if (f == SessionField::forest) refreshExport();
    });
    refreshExport();
    auto* volumes =
        new QAction(DiskTheme::icon("internaldrive"), QStringLiteral("All Volumes\u2026"), file);
    volumes->setObjectName(QStringLiteral("allVolumes"));
    Shortcuts::bind(volumes, Shortcuts::Command::allVolumes);
    QObject::connect(volumes, &QAction::triggered, window,
                     [&session, window] { showVolumes(session, window); });
    for (QAction* a : {open, exportJson, volumes})
        file->insertAction(first, a);
    file->insertSeparator(first);
}

QAction* addRescanFolder(QMenu* scan, AppSession& session, QWidget* window) {
    auto* rescan =
        scan->addAction(DiskTheme::icon("arrow.clockwise"), QStringLiteral("Rescan This Folder"));
    rescan->setObjectName(QStringLiteral("rescanThisFolder"));
    Shortcuts::bind(rescan, Shortcuts::Command::rescanFolder);
    rescan->setToolTip(QStringLiteral("Scan the selected folder again and put it in place"));
    window->addAction(rescan);
    QObject::connect(rescan, &QAction::triggered, window, [&session] {
        const ScanNode* node = session.selected() ? session.selected() : session.displayRoot();
        session.refreshFolder(node);
    });
    auto enable = [rescan, &session] {
        rescan->setEnabled(session.forest() && !session.isScanning() && !session.isRefreshing());
    };
    QObject::connect(&session, &AppSession::changed, rescan, [enable](SessionField f) {
        if (f == SessionField::forest || f == SessionField::isScanning ||
            f == SessionField::refreshing)
            enable();
    });
    enable();
    return rescan;
}

void showVolumes(AppSession& session, QWidget* window) {
    auto* existing = window->findChild<QWidget*>(QStringLiteral("allVolumesWindow"));
    if (!existing) {
        // A dialog, so Escape closes it as it does any other.
        existing = new QDialog(window);
        existing->setObjectName(QStringLiteral("allVolumesWindow"));
        existing->setWindowTitle(QStringLiteral("All Volumes"));
        existing->resize(560, 520);
        auto* layout = new QVBoxLayout(existing);
        auto* view = new VolumesView(session);
        layout->addWidget(view);
        QObject::connect(view, &VolumesView::scanStarted, existing, &QWidget::close);
    }
    existing->show();
    existing->raise();
    existing->activateWindow();
}

} // namespace tb::FileActions
