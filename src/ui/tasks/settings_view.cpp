#include "ui/tasks/settings_view.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/shell/stored_scans.h"
#include "ui/tasks/task_widgets.h"

namespace tb {

SettingsView::SettingsView(AppSession& session, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 24);
    layout->setSpacing(20);

    auto* safety = new FormSection(QStringLiteral("Safety"));
    safety->addLine(
        QStringLiteral("Tarnbeck only moves reviewed selections to Trash. It does not "
                       "permanently delete files or remove snapshots in this "
                       "release."));
    layout->addWidget(safety);

    auto* updates = new FormSection(QStringLiteral("Updates"));
    updates->addLine(
        QStringLiteral("Check for updates from the Tarnbeck website. The latest signed "
                       "release downloads directly in your browser."));
    auto* download = TaskWidgets::button(QStringLiteral("Download Latest Release"));
    updates->addWidget(TaskWidgets::buttonRow(download));
    layout->addWidget(updates);
    layout->addWidget(StoredScans::usageSection(session));
    layout->addStretch(1);

    connect(download, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(releaseAddress))); });
}

} // namespace tb
