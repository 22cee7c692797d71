// What the window remembers between runs: its size and position, the
// splitter positions, the inspector toggle, the Explore mode and the last scan
// root. Kept with QSettings in $XDG_CONFIG_HOME/Tarnbeck/Tarnbeck.conf.
// Interface thread only.
#pragma once

class QMainWindow;

namespace tb {

class AppSession;

// Restores what was saved (a scan root only while it still is a folder) and
// saves again when the application quits.
void rememberWindowState(QMainWindow& window, AppSession& session);

void restoreWindowState(QMainWindow& window, AppSession& session);
void saveWindowState(const QMainWindow& window, const AppSession& session);

} // namespace tb
