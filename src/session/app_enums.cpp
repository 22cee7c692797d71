#include "session/app_enums.h"

namespace tb {

const AppTabInfo& info(AppTab tab) {
    return appTabs[static_cast<std::size_t>(tab)];
}

std::optional<AppTab> appTab(std::string_view raw) {
    for (const auto& t : appTabs) {
        if (t.id == raw) return t.tab;
    }
    return std::nullopt;
}

const ViewModeInfo& info(ViewMode mode) {
    return viewModes[static_cast<std::size_t>(mode)];
}

std::optional<ViewMode> viewMode(std::string_view raw) {
    for (const auto& m : viewModes) {
        if (m.id == raw) return m.mode;
    }
    return std::nullopt;
}

} // namespace tb
