// The stored scans as the interface manages them: each file's size on disk,
// "Remove…" on a history row (to the Trash, after a confirmation, never the
// open scan), and the store's location and total size for Settings.
// Interface thread only.
#pragma once

#include <cstdint>
#include <string>

class QTreeWidget;
class QWidget;

namespace tb {

class AppSession;

namespace StoredScans {

// Allocated bytes of one scan file; 0 when it cannot be read.
std::int64_t fileBytes(const std::string& file);

// Gives the sidebar's history rows (those carrying a history index under
// `historyRole`) a context menu with "Remove…".
void addRemoveMenu(QTreeWidget* sidebar, AppSession& session, int historyRole);

// A Settings section: where the scans are kept, how much they take, and a
// button that shows the folder in the file manager.
QWidget* usageSection(AppSession& session);

} // namespace StoredScans
} // namespace tb
