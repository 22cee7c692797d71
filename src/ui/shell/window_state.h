// What the window remembers between runs: its size and position, the
// splitter positions, the inspector toggle, the Explore mode, the maps' depth
// and colours, and the last scan root. Kept with QSettings in
// $XDG_CONFIG_HOME/Tarnbeck/Tarnbeck.conf. Interface thread only.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QMainWindow;
class QWidget;

namespace tb {

// Room the window manager's frame takes around the window before the frame
// itself can be measured (it is known only once the window is mapped).
inline constexpr QMargins estimatedFrame{4, 32, 4, 4};

// `wanted` (the window's own geometry, frame not included) cut to what fits
// in `available` with `frame` around it, then moved inside it.
QRect fittedGeometry(const QRect& wanted, const QRect& available,
                     const QMargins& frame = estimatedFrame);
// Sizes the window as `preferred`, centred, or smaller where the screen's
// available geometry (without panels, after scaling) is smaller; the minimum
// size shrinks with it.
void fitToScreen(QWidget& window, QSize preferred, QSize minimum);
// Keeps the window's current geometry, a remembered one say, on the screen.
void keepOnScreen(QWidget& window);

class AppSession;
class ScanWorkspace;

// Restores what was saved (a scan root only while it still is a folder) and
// saves again when the application quits.
void rememberWindowState(QMainWindow& window, AppSession& session);

void restoreWindowState(QMainWindow& window, AppSession& session);
// How scans count (exclude patterns, crossing mounts, hard links): restored with
// the window and saved at every change, not only at quit.
void restoreScanRules(AppSession& session);
void saveScanRules(const AppSession& session);
void saveWindowState(const QMainWindow& window, const AppSession& session);
// The maps' depth and colours: restored with the window and saved at every
// change. A stored value that means nothing leaves the default.
void restoreMapSettings(ScanWorkspace& workspace);
void saveMapSettings(const ScanWorkspace& workspace);

} // namespace tb
