#include "analysis/home_places.h"

#include "base/path.h"
#include "platform/file_system.h"
#include "platform/xdg_dirs.h"

namespace tb {

HomePlaces HomePlaces::below(const std::string& home) {
    HomePlaces p;
    p.home = home;
    p.cacheHome = Path::appending(home, ".cache");
    p.configHome = Path::appending(home, ".config");
    p.dataHome = Path::appending(home, ".local/share");
    p.stateHome = Path::appending(home, ".local/state");
    return p;
}

HomePlaces HomePlaces::of(const std::string& home) {
    HomePlaces p = below(home);
    if (platform::SpecialFolders::home() != home) return p;
    p.dataDirs = platform::XdgDirs::dataDirs();
    using platform::XdgDirs::absoluteVariable;
    p.cacheHome = absoluteVariable("XDG_CACHE_HOME").value_or(p.cacheHome);
    p.configHome = absoluteVariable("XDG_CONFIG_HOME").value_or(p.configHome);
    p.dataHome = absoluteVariable("XDG_DATA_HOME").value_or(p.dataHome);
    p.stateHome = absoluteVariable("XDG_STATE_HOME").value_or(p.stateHome);
    return p;
}

} // namespace tb
