// Every keyboard shortcut of the window in one table. The code that binds a
// key asks the table for it, and Help > Keyboard Shortcuts lists the same
// rows, so the list cannot drift from what the keys do. Rows without keys
// describe what one control does with keys of its own (the arrows in a list).
// Interface thread only.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QPair>
#include <QString>

#include <cstddef>

#include "session/app_enums.h"

class QAction;
class QShortcut;
class QWidget;

namespace tb::Shortcuts {

enum class Command {
    tabOverview, // one per sidebar tab, in the sidebar's order
    tabExplore,
    tabCleanup,
    tabApps,
    tabDuplicates,
    tabChanges,
    tabStage,
    modeFolders, // one per view mode, the toolbar's four first
    modeTreemap,
    modeSunburst,
    modeTypes,
    modeFlame,
    modeBubbles,
    modeMindMap,
    modeTopSizes,
    modeAgeMap,
    find,
    scan,
    scanFromEmpty,
    rescan,
    rescanFolder,
    openScanFile,
    allVolumes,
    cancelScan,
    settings,
    goUp,
    back,
    forward,
    trash,
    undo,
    redo,
    cut,
    copy,
    paste,
    selectAll,
    quit,
    sidebarArrows,
    listArrows,
    listOpenClose,
    listEnter,
    listTyping,
    itemMenu,
};

struct Row {
    Command command;
    QList<QKeySequence> keys; // empty: the control handles its own keys
    QString also;             // a gesture or the place, shown after the keys
    QString action;
};

// In the order the list shows them.
const QList<Row>& table();
const Row& row(Command command);
Command forTab(std::size_t sidebarIndex);
Command forMode(ViewMode mode);
// The view modes in the order of their shortcuts.
const QList<ViewMode>& modeOrder();

// Gives `action` the command's keys.
QAction* bind(QAction* action, Command command);
// A shortcut for the command's keys, owned by `owner`, active in `context`.
QShortcut* bind(QWidget* owner, Command command, Qt::ShortcutContext context);

// The command's keys in the desktop's spelling, with its gesture: "Alt+Left,
// mouse back button".
QString keysText(Command command);
// Keys and what they do, one pair per row.
QList<QPair<QString, QString>> listed();

} // namespace tb::Shortcuts
