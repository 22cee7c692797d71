// The context menu of a scanned item, the same in every map and list: Open,
// Show in Files, Open Terminal Here (folders), Copy Path, Inspect, Add to
// Review Queue, Rescan This Folder and Move to Trash. Interface thread only; the node must belong
// to the session's current forest while the menu is open.
#pragma once

#include <QPoint>

#include <vector>

class QMenu;
class QWidget;

namespace tb {

class AppSession;
class ScanNode;

namespace NodeMenu {

// The menu, owned by `parent`, deleted when it closes. `together` are the
// rows chosen with `node` (node among them): Add to Review Queue and Move to
// Trash then act on all of them.
QMenu* build(AppSession& session, const ScanNode& node, QWidget* parent,
             const std::vector<const ScanNode*>& together = {});
// Builds and shows it at `globalPos`.
void popup(AppSession& session, const ScanNode& node, QWidget* parent, QPoint globalPos,
           const std::vector<const ScanNode*>& together = {});

} // namespace NodeMenu
} // namespace tb
