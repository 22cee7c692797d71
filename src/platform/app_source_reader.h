// Reads the small text files that say which applications are installed on
// Linux: desktop entries, Flatpak metadata, and any other short
// configuration file. Any thread; no state. A missing, special or oversized
// file reads as nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb::platform {

struct DesktopEntry {
    std::string name;       // "Name" of the [Desktop Entry] group, unlocalised
    std::string type;       // "Type", "Application" for programs
    bool hidden = false;    // "Hidden=true": the entry counts as deleted
    bool noDisplay = false; // "NoDisplay=true": not shown in menus
    std::string flatpak;    // "X-Flatpak": the id of the Flatpak that exported it
    std::string snap;       // "X-SnapInstanceName": likewise for a snap
    std::string exec;       // "Exec": the command line it starts

    bool operator==(const DesktopEntry&) const = default;
};

namespace AppSourceReader {

// A regular file's bytes, when it holds at most `maxBytes`.
std::optional<std::string> readSmallFile(const std::string& path,
                                         std::size_t maxBytes = 1024 * 1024);
// The target of a symbolic link, as stored.
std::optional<std::string> linkTarget(const std::string& path);

// Keys of the first [Desktop Entry] group; localised keys (Name[de]) and
// other groups are ignored.
DesktopEntry parseDesktopEntry(std::string_view document);
std::optional<DesktopEntry> readDesktopEntry(const std::string& path);

// The value of `key` in `group` of a key file (desktop entries, Flatpak
// metadata), or none.
std::optional<std::string> keyFileValue(std::string_view document, std::string_view group,
                                        std::string_view key);
// The names of a key file's groups, in order ("Desktop Entry", not
// "[Desktop Entry]").
std::vector<std::string> keyFileGroups(std::string_view document);

} // namespace AppSourceReader

} // namespace tb::platform
