// The per-user folders the analyses look in: the Home folder and its XDG
// base directories. A plain value, so background work receives it by value.
#pragma once

#include <string>
#include <vector>

namespace tb {

struct HomePlaces {
    std::string home;
    std::string cacheHome;             // $XDG_CACHE_HOME, default ~/.cache
    std::string configHome;            // $XDG_CONFIG_HOME, default ~/.config
    std::string dataHome;              // $XDG_DATA_HOME, default ~/.local/share
    std::string stateHome;             // $XDG_STATE_HOME, default ~/.local/state
    std::vector<std::string> dataDirs; // $XDG_DATA_DIRS; empty for another home

    // The defaults below `home`, with no system data folders.
    static HomePlaces below(const std::string& home);
    // The XDG variables apply only when `home` is the current user's own
    // Home folder; another folder (a test home, an explicit --home) gets
    // the defaults below it, so the real user's settings never leak in.
    static HomePlaces of(const std::string& home);

    bool operator==(const HomePlaces&) const = default;
};

} // namespace tb
