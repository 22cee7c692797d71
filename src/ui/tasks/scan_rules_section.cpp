#include "ui/tasks/scan_rules_section.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <string>
#include <vector>

#include "scan/exclude_rules.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/tasks/task_widgets.h"

namespace tb::ScanRulesSection {
namespace {

std::string bytesOf(const QString& text) {
    const QByteArray b = text.trimmed().toUtf8();
    return std::string(b.constData(), std::size_t(b.size()));
}

} // namespace

QWidget* make(AppSession& session) {
    auto* section = new FormSection(QStringLiteral("Scanning"));
    section->setObjectName(QStringLiteral("scanRulesSection"));

    auto* cross = new QCheckBox(QStringLiteral("Cross file-system boundaries"));
    cross->setObjectName(QStringLiteral("crossMounts"));
    cross->setToolTip(QStringLiteral(
        "Walk into other local file systems mounted below the scanned folder. Network and "
        "FUSE file systems are entered only with \"Scan This Mount Here\"."));
    section->addWidget(cross);

    // One line that never wraps: the window takes its height from the
    // sections' hints, which a wrapping label understates.
    const QString syntax = QStringLiteral(
        "A name (node_modules, *.iso), a path from the scanned folder (/proc) or the end of "
        "one (**/.git); a trailing / matches folders only.");
    auto* heading = new QLabel(QStringLiteral("Left out from the next scan:"));
    heading->setFont(DiskTheme::body());
    heading->setToolTip(syntax);
    section->addWidget(heading);
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("excludePatterns"));
    list->setAccessibleName(QStringLiteral("Exclude rules"));
    list->setToolTip(syntax);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Room for four rules; more scroll. The page around it does not grow.
    list->setFixedHeight(4 * list->fontMetrics().height() + 2 * list->frameWidth() + 8);
    section->addWidget(list);

    auto* entry = new QLineEdit;
    entry->setObjectName(QStringLiteral("excludePatternEntry"));
    entry->setPlaceholderText(QStringLiteral("Pattern to exclude"));
    entry->setAccessibleName(QStringLiteral("Pattern to exclude"));
    entry->setToolTip(syntax);
    auto* add = TaskWidgets::button(QStringLiteral("Add"));
    add->setObjectName(QStringLiteral("addExcludePattern"));
    auto* remove = TaskWidgets::button(QStringLiteral("Remove"));
    remove->setObjectName(QStringLiteral("removeExcludePattern"));
    auto* defaults = TaskWidgets::button(QStringLiteral("Exclude Snapshots"));
    defaults->setObjectName(QStringLiteral("addSnapshotPatterns"));
    defaults->setToolTip(QStringLiteral("Add the Snapper and Timeshift snapshot folders again"));
    auto* controls = new QWidget;
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(entry, 1);
    row->addWidget(add);
    row->addWidget(remove);
    row->addWidget(defaults);
    section->addWidget(controls);

    auto show = [&session, list, cross] {
        list->clear();
        for (const std::string& p : session.excludePatterns()) {
            auto* item = new QListWidgetItem(DiskTheme::displayText(p), list);
            if (ExcludeRules::isSnapshotPattern(p)) {
                item->setToolTip(
                    QStringLiteral("Snapshots: on btrfs, a walk would count "
                                   "every snapshot in full"));
            }
        }
        cross->setChecked(session.crossMounts());
    };
    show();
    auto addPattern = [&session, entry] {
        const std::string p = bytesOf(entry->text());
        if (p.empty()) return;
        std::vector<std::string> patterns = session.excludePatterns();
        if (std::find(patterns.begin(), patterns.end(), p) == patterns.end()) {
            patterns.push_back(p);
            session.setExcludePatterns(std::move(patterns));
        }
        entry->clear();
    };
    QObject::connect(add, &QPushButton::clicked, section, addPattern);
    QObject::connect(entry, &QLineEdit::returnPressed, section, addPattern);
    QObject::connect(remove, &QPushButton::clicked, section, [&session, list] {
        std::vector<std::string> kept;
        const auto& patterns = session.excludePatterns();
        for (int i = 0; i < int(patterns.size()); ++i) {
            const QListWidgetItem* item = list->item(i);
            if (!item || !item->isSelected()) kept.push_back(patterns[std::size_t(i)]);
        }
        if (kept.size() != patterns.size()) session.setExcludePatterns(std::move(kept));
    });
    QObject::connect(defaults, &QPushButton::clicked, section, [&session] {
        std::vector<std::string> patterns = session.excludePatterns();
        for (const std::string& p : ExcludeRules::snapshotPatterns()) {
            if (std::find(patterns.begin(), patterns.end(), p) == patterns.end())
                patterns.push_back(p);
        }
        session.setExcludePatterns(std::move(patterns));
    });
    QObject::connect(cross, &QCheckBox::toggled, section, [&session](bool on) {
        if (on != session.crossMounts()) session.setCrossMounts(on);
    });
    QObject::connect(&session, &AppSession::changed, section, [show](SessionField f) {
        if (f == SessionField::scanRules) show();
    });
    return section;
}

} // namespace tb::ScanRulesSection
