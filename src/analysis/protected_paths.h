// The system locations that may never be staged or moved to the Trash.
// Stateless; any thread. Touches the file system only for link resolution
// and an existence test.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tb {

namespace ProtectedPaths {

// The system's own locations, then the ones a Linux system cannot run without.
inline constexpr std::array<std::string_view, 24> prefixes = {
    "/System", "/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/lib", "/usr/libexec",
    "/private/var/db", "/Library/Apple", "/Library/OSAnalytics", "/private/preboot",
    "/private/var/folders",
    "/boot", "/dev", "/etc", "/lib", "/lib32", "/lib64", "/libx32", "/proc", "/run", "/sys",
    "/usr", "/var/lib"};

// The prefix rule alone, on a path that is already resolved and standardised.
bool isProtectedResolvedPath(std::string_view path);
// Symbolic links resolved and dot segments removed, as the protection test sees
// the path. Where the path does not exist, its deepest existing ancestor is
// resolved and the rest appended.
std::string resolvedPath(std::string_view url);

bool isProtected(std::string_view url);
// The review queue's admission test: the item exists and is not protected.
bool isSafeSelection(std::string_view url);

} // namespace ProtectedPaths

} // namespace tb
