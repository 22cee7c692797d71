// The XDG base directories of the current user. Any thread; reads the
// environment only. A relative value is invalid and ignored, as the XDG
// base-directory rules say.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tb::platform::XdgDirs {

// The variable's value when it is an absolute path, else none.
std::optional<std::string> absoluteVariable(const char* name);
// $XDG_DATA_DIRS split at ':', relative entries dropped; the default
// /usr/local/share and /usr/share when nothing is left.
std::vector<std::string> dataDirs();
// $PATH split at ':', relative entries dropped; the usual program folders
// when nothing is left.
std::vector<std::string> programDirs();
// The running kernel's release, as "uname -r" prints it; empty when unknown.
std::string kernelRelease();

} // namespace tb::platform::XdgDirs
