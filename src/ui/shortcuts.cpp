#include "ui/shortcuts.h"

#include <QAction>
#include <QShortcut>
#include <QWidget>

#include "ui/disk_theme.h"

namespace tb::Shortcuts {
namespace {

using K = QKeySequence;

QList<K> standard(K::StandardKey key) {
    return K::keyBindings(key);
}

QList<Row> build() {
    QList<Row> rows;
    for (std::size_t i = 0; i < navigationTabCount; ++i) {
        rows.append(Row{forTab(i),
                        {K(Qt::CTRL | Qt::Key(Qt::Key_1 + int(i)))},
                        {},
                        DiskTheme::text(appTabs[i].title)});
    }
    int digit = 0;
    for (ViewMode mode : modeOrder()) {
        rows.append(Row{forMode(mode),
                        {K(Qt::ALT | Qt::Key(Qt::Key_1 + digit++))},
                        {},
                        QStringLiteral("Explore as ") + DiskTheme::text(info(mode).title)});
    }
    const QList<Row> rest = {
        {Command::sidebarArrows,
         {},
         QStringLiteral("Up, Down in the sidebar"),
         QStringLiteral("Change the tab")},
        {Command::find, {K(Qt::CTRL | Qt::Key_F)}, {}, QStringLiteral("Search this scan")},
        {Command::scan, {K(Qt::CTRL | Qt::Key_R)}, {}, QStringLiteral("Scan")},
        {Command::scanFromEmpty,
         {K(Qt::Key_Return), K(Qt::Key_Enter)},
         QStringLiteral("before the first scan"),
         QStringLiteral("Scan")},
        {Command::rescan, {K(Qt::Key_F5)}, {}, QStringLiteral("Rescan")},
        {Command::rescanFolder, {K(Qt::Key_F6)}, {}, QStringLiteral("Rescan the selected folder")},
        {Command::openScanFile,
         standard(K::Open),
         {},
         QStringLiteral("Open a scan file or an ncdu export")},
        {Command::allVolumes,
         {K(Qt::CTRL | Qt::SHIFT | Qt::Key_V)},
         {},
         QStringLiteral("All volumes")},
        {Command::cancelScan, {K(Qt::Key_Escape)}, {}, QStringLiteral("Cancel the scan")},
        {Command::settings, {K(Qt::CTRL | Qt::Key_Comma)}, {}, QStringLiteral("Settings")},
        {Command::goUp,
         {K(Qt::Key_Backspace), K(Qt::ALT | Qt::Key_Up)},
         {},
         QStringLiteral("Up one folder")},
        {Command::back,
         {K(Qt::ALT | Qt::Key_Left)},
         QStringLiteral("mouse back button"),
         QStringLiteral("Back")},
        {Command::forward,
         {K(Qt::ALT | Qt::Key_Right)},
         QStringLiteral("mouse forward button"),
         QStringLiteral("Forward")},
        {Command::listArrows,
         {},
         QStringLiteral("Up, Down in the folder list"),
         QStringLiteral("Move the selection")},
        {Command::listOpenClose,
         {},
         QStringLiteral("Right, Left in the folder list"),
         QStringLiteral("Open, close a folder row")},
        {Command::listEnter,
         {},
         QStringLiteral("Return in the folder list"),
         QStringLiteral("Go into the folder, or open the file")},
        {Command::listTyping,
         {},
         QStringLiteral("Typing in the folder list"),
         QStringLiteral("Find a name")},
        {Command::itemMenu,
         {},
         QStringLiteral("Menu key, right click"),
         QStringLiteral("Actions for the item")},
        {Command::trash,
         {K(Qt::Key_Delete)},
         {},
         QStringLiteral("Move the selected item to the Trash")},
        {Command::undo, standard(K::Undo), {}, QStringLiteral("Undo Move to Trash")},
        {Command::redo, standard(K::Redo), QStringLiteral("in a text field"),
         QStringLiteral("Redo")},
        {Command::cut, standard(K::Cut), QStringLiteral("in a text field"), QStringLiteral("Cut")},
        {Command::copy, standard(K::Copy), QStringLiteral("in a text field"),
         QStringLiteral("Copy")},
        {Command::paste, standard(K::Paste), QStringLiteral("in a text field"),
         QStringLiteral("Paste")},
        {Command::selectAll, standard(K::SelectAll), QStringLiteral("in a text field"),
         QStringLiteral("Select All")},
        {Command::quit, {K(Qt::CTRL | Qt::Key_Q)}, {}, QStringLiteral("Quit")},
    };
    rows.append(rest);
    return rows;
}

} // namespace

const QList<ViewMode>& modeOrder() {
    static const QList<ViewMode> order = {ViewMode::folders, ViewMode::treemap,  ViewMode::sunburst,
                                          ViewMode::types,   ViewMode::flame,    ViewMode::bubbles,
                                          ViewMode::mindmap, ViewMode::topsizes, ViewMode::agemap};
    return order;
}

Command forTab(std::size_t sidebarIndex) {
    return Command(int(Command::tabOverview) + int(sidebarIndex));
}

Command forMode(ViewMode mode) {
    return Command(int(Command::modeFolders) + int(modeOrder().indexOf(mode)));
}

const QList<Row>& table() {
    static const QList<Row> rows = build();
    return rows;
}

const Row& row(Command command) {
    for (const Row& r : table()) {
        if (r.command == command) return r;
    }
    Q_UNREACHABLE(); // the table's test asks for every command
}

QAction* bind(QAction* action, Command command) {
    action->setShortcuts(row(command).keys);
    return action;
}

QShortcut* bind(QWidget* owner, Command command, Qt::ShortcutContext context) {
    auto* shortcut = new QShortcut(owner);
    shortcut->setKeys(row(command).keys);
    shortcut->setContext(context);
    return shortcut;
}

QString keysText(Command command) {
    const Row& r = row(command);
    QStringList parts;
    for (const QKeySequence& k : r.keys)
        parts << k.toString(QKeySequence::NativeText);
    parts.removeDuplicates();
    if (!r.also.isEmpty()) parts << r.also;
    return parts.join(QStringLiteral(", "));
}

QList<QPair<QString, QString>> listed() {
    QList<QPair<QString, QString>> out;
    for (const Row& r : table())
        out.append({keysText(r.command), r.action});
    return out;
}

} // namespace tb::Shortcuts
