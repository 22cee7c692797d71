// The File menu's scan files and volumes: Open Scan File…, Export as ncdu
// JSON…, All Volumes…, and Scan › Rescan This Folder (F6). The dialogs run
// here; the reading and writing happen in the session, off this thread.
#pragma once

class QAction;
class QMenu;
class QWidget;

namespace tb {

class AppSession;

namespace FileActions {

// Adds the file actions at the top of `file`; `window` parents the dialogs.
void addFileActions(QMenu* file, AppSession& session, QWidget* window);
// Refreshes the selected folder (else the one on display).
QAction* addRescanFolder(QMenu* scan, AppSession& session, QWidget* window);
// The All Volumes window, made once and shown again.
void showVolumes(AppSession& session, QWidget* window);

} // namespace FileActions
} // namespace tb
