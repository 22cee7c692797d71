// The system locations that may never be staged or moved to the Trash, and
// the path tests the review queue adds to them (folders holding such
// locations, items in a Trash). Stateless; any thread. Touches the file
// system only for link resolution and an existence test.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tb {

namespace ProtectedPaths {

// The system's own locations, then the ones a Linux system cannot run without.
inline constexpr std::array<std::string_view, 26> prefixes = {"/System",
                                                              "/bin",
                                                              "/sbin",
                                                              "/usr/bin",
                                                              "/usr/sbin",
                                                              "/usr/lib",
                                                              "/usr/libexec",
                                                              "/private/var/db",
                                                              "/Library/Apple",
                                                              "/Library/OSAnalytics",
                                                              "/private/preboot",
                                                              "/private/var/folders",
                                                              "/boot",
                                                              "/dev",
                                                              "/etc",
                                                              "/lib",
                                                              "/lib32",
                                                              "/lib64",
                                                              "/libx32",
                                                              "/proc",
                                                              "/run",
                                                              "/sys",
                                                              "/usr",
                                                              "/var/lib",
                                                              "/var/cache/apt",
                                                              "/var/log"};

// Where removable drives and the user's own mounts appear inside "/run"
// ("*" stands for one component); what lies inside them is the user's.
inline constexpr std::array<std::string_view, 3> userMountAreas = {
    "/run/media/*/*", "/run/mount/*/*", "/run/user/*/gvfs/*"};

// The prefix rule alone, on a path that is already resolved and standardised.
bool isProtectedResolvedPath(std::string_view path);
// Symbolic links resolved and dot segments removed, as the protection test sees
// the path; a final link is kept as it is, since that link is what would be
// moved. Where the path does not exist, its deepest existing ancestor is
// resolved and the rest appended.
std::string resolvedPath(std::string_view url);

bool isProtected(std::string_view url);
// The review queue's admission test: the item exists and is not protected.
bool isSafeSelection(std::string_view url);

// On resolved paths: whether a protected location lies strictly inside.
bool holdsProtectedPath(std::string_view path);
// Whether `path` is a Trash's own folder of some user or lies inside one:
// `trashRoot` (the home Trash), $topdir/.Trash/$uid or $topdir/.Trash-$uid.
bool isInsideTrash(std::string_view path, std::string_view trashRoot);

} // namespace ProtectedPaths

} // namespace tb
