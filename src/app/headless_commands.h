// The commands that run without a display: scan, export and import. They
// never create a Qt application object, so nothing connects to X or Wayland.
// Called once from main on the main thread; each returns an exit status.
#pragma once

#include "app/command_line.h"

namespace tb {

int runHeadless(const CommandLine& line);

} // namespace tb
