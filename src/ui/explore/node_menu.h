// The context menu of a scanned item, the same in every map and list: Open,
// Show in Files, Open Terminal Here (folders), Copy Path, Inspect, Add to
// Review Queue, Rescan This Folder and Move to Trash. Interface thread only; the node must belong to the session's
// current forest while the menu is open.
#pragma once

#include <QPoint>

class QMenu;
class QWidget;

namespace tb {

class AppSession;
class ScanNode;

namespace NodeMenu {

// The menu, owned by `parent`, deleted when it closes.
QMenu* build(AppSession& session, const ScanNode& node, QWidget* parent);
// Builds and shows it at `globalPos`.
void popup(AppSession& session, const ScanNode& node, QWidget* parent, QPoint globalPos);

} // namespace NodeMenu
} // namespace tb
