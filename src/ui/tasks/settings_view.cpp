#include "ui/tasks/settings_view.h"

#include <QDesktopServices>
#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include "session/app_session.h"
#include "ui/tasks/stored_scans.h"
#include "ui/tasks/scan_rules_section.h"
#include "ui/tasks/task_widgets.h"

namespace tb {

// The settings window and the Settings tab each hold one: both follow the
// session.
QWidget* SettingsView::hardLinksSection(AppSession& session) {
    auto* section = new FormSection(QStringLiteral("Hard links"));
    auto* once = new QRadioButton(QStringLiteral("Count once (like du)"));
    auto* every = new QRadioButton(QStringLiteral("Count every name"));
    once->setObjectName(QStringLiteral("hardLinksOnce"));
    every->setObjectName(QStringLiteral("hardLinksEvery"));
    auto* group = new QButtonGroup(section);
    group->addButton(once);
    group->addButton(every);
    section->addWidget(once);
    section->addWidget(every);
    section->addLine(
        QStringLiteral("For files with several names. Applies from the next scan; a "
                       "stored scan keeps the counting it was made with."));
    auto show = [&session, once, every] {
        (session.hardLinks() == HardLinkMode::once ? once : every)->setChecked(true);
    };
    show();
    connect(once, &QRadioButton::toggled, section, [&session](bool on) {
        if (on && session.hardLinks() != HardLinkMode::once)
            session.setHardLinks(HardLinkMode::once);
    });
    connect(every, &QRadioButton::toggled, section, [&session](bool on) {
        if (on && session.hardLinks() != HardLinkMode::every) {
            session.setHardLinks(HardLinkMode::every);
        }
    });
    connect(&session, &AppSession::changed, section, [show](SessionField f) {
        if (f == SessionField::hardLinks) show();
    });
    return section;
}

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
    layout->addWidget(hardLinksSection(session));
    layout->addWidget(ScanRulesSection::make(session));
    layout->addWidget(StoredScans::usageSection(session));
    layout->addStretch(1);

    connect(download, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(releaseAddress))); });
}

} // namespace tb
