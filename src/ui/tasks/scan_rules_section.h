// Settings › Scanning: the exclude patterns and whether scans cross into
// other file systems. Edits apply from the next scan.
#pragma once

class QWidget;

namespace tb {

class AppSession;

namespace ScanRulesSection {
QWidget* make(AppSession& session);
} // namespace ScanRulesSection

} // namespace tb
