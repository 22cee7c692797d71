#include "ui/explore/node_menu.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <string>

#include "desktop/qt_desktop.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/shortcuts.h"
#include "ui/explore/trash_prompt.h"

namespace tb::NodeMenu {

QMenu* build(AppSession& session, const ScanNode& node, QWidget* parent,
             const std::vector<const ScanNode*>& together) {
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // A scan may end while the menu is open: the hand-offs keep the path's
    // bytes, and the actions on the node first check that its forest is
    // still the current one.
    const std::string path(node.path());
    const bool folder = node.isDirectory();
    menu->addAction(QStringLiteral("Open"), menu, [&session, path] { session.openItem(path); });
    menu->addAction(QStringLiteral("Show in Files"), menu,
                    [&session, path] { session.revealInFinder(path); });
    if (folder) {
        menu->addAction(QStringLiteral("Open Terminal Here"), menu,
                        [&session, path] { session.openTerminal(path); });
    }
    menu->addAction(QStringLiteral("Copy Path"), menu, [path] {
        auto* data = new QMimeData;
        data->setText(DiskTheme::displayText(path));
        // The URL keeps every byte of a name that is not UTF-8.
        data->setData(QStringLiteral("text/uri-list"), fileUrlOf(path).toLatin1() + "\r\n");
        QApplication::clipboard()->setMimeData(data);
    });
    menu->addSeparator();
    const ScanNode* target = &node;
    const auto forestAtBuild = session.forest();
    auto stillCurrent = [&session, forestAtBuild] { return session.forest() == forestAtBuild; };
    menu->addAction(QStringLiteral("Inspect"), menu, [&session, target, stillCurrent] {
        if (!stillCurrent()) return;
        session.select(target);
        session.setShowInspector(true);
    });
    // A right click outside the chosen rows acts on that row alone.
    const bool group = together.size() > 1 &&
                       std::find(together.begin(), together.end(), target) != together.end();
    const std::vector<const ScanNode*> targets = group ? together : std::vector{target};
    const QString many = group ? QStringLiteral(" %1 Items").arg(targets.size()) : QString();
    menu->addAction(QStringLiteral("Add%1 to Review Queue").arg(many), menu,
                    [&session, targets, stillCurrent] {
                        if (!stillCurrent()) return;
                        for (const ScanNode* n : targets)
                            session.staging().stage(*n);
                    });
    menu->addSeparator();
    if (folder && node.leftOut() == LeftOutKind::none) {
        QAction* rescan = menu->addAction(QStringLiteral("Rescan This Folder"), menu,
                                          [&session, target, stillCurrent] {
                                              if (stillCurrent()) session.refreshFolder(target);
                                          });
        rescan->setObjectName(QStringLiteral("rescanFolder"));
        Shortcuts::bind(rescan, Shortcuts::Command::rescanFolder);
        rescan->setEnabled(!session.isScanning() && !session.isRefreshing());
    }
    if (node.leftOut() == LeftOutKind::mount) {
        QAction* here = menu->addAction(QStringLiteral("Scan This Mount Here"), menu,
                                        [&session, target, stillCurrent] {
                                            if (stillCurrent()) session.scanMountHere(target);
                                        });
        here->setObjectName(QStringLiteral("scanMountHere"));
        here->setEnabled(!session.isScanning());
    }
    const bool isRoot = forestAtBuild && forestAtBuild->root() == target;
    if (!isRoot && node.leftOut() == LeftOutKind::none) {
        QAction* exclude = menu->addAction(
            folder ? QStringLiteral("Exclude This Folder") : QStringLiteral("Exclude This File"),
            menu, [&session, target, stillCurrent] {
                if (stillCurrent()) session.excludeNode(target);
            });
        exclude->setObjectName(QStringLiteral("excludeThis"));
    }
    auto* trash = menu->addAction(QStringLiteral("Move%1 to Trash\u2026").arg(many), menu,
                                  [&session, targets, stillCurrent, parent] {
                                      if (stillCurrent())
                                          TrashPrompt::open(session, targets, parent);
                                  });
    Shortcuts::bind(trash, Shortcuts::Command::trash);
    return menu;
}

void popup(AppSession& session, const ScanNode& node, QWidget* parent, QPoint globalPos,
           const std::vector<const ScanNode*>& together) {
    build(session, node, parent, together)->popup(globalPos);
}

} // namespace tb::NodeMenu
