// What the window opens with at start, from the PATH on the command line: a
// folder to scan, or a stored scan (a scan file, or an export imported into
// the store first). Runs before the interface exists; any thread.
#pragma once

#include <optional>
#include <string>

#include "store/scan_record.h"

namespace tb {

struct Opening {
    std::optional<std::string> folder;
    std::optional<ScanRecord> scan;
};

// Nothing, with the reason on standard error, when PATH is none of these.
// A scan file is checked by its record and its root's row only: the session
// reads the tree once, when it opens it.
std::optional<Opening> resolveOpening(const std::string& path);

} // namespace tb
