// The window's tabs and the Explore tab's view modes, with the raw values,
// titles and icon names the interface shows.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tb {

enum class AppTab {
    overview,
    explore,
    cleanup,
    apps,
    duplicates,
    changes,
    stage,
    monitor,
    settings
};

struct AppTabInfo {
    AppTab tab;
    std::string_view id;
    std::string_view title;
    std::string_view symbol;
    std::string_view help; // empty for tabs without a sidebar row
};

inline constexpr std::array<AppTabInfo, 9> appTabs = {{
    {AppTab::overview, "overview", "Overview", "rectangle.3.group",
     "See the largest contributors and the next useful action."},
    {AppTab::explore, "explore", "Explore", "square.grid.2x2",
     "Browse folders and maps with linked selection."},
    {AppTab::cleanup, "cleanup", "Clean Up", "sparkles",
     "Review rebuildable storage with evidence."},
    {AppTab::apps, "apps", "Apps", "shippingbox", "See app bundles and related storage."},
    {AppTab::duplicates, "duplicates", "Duplicates", "square.on.square",
     "Find identical files by full content."},
    {AppTab::changes, "changes", "Changes", "chart.line.uptrend.xyaxis",
     "Compare matching scans over time."},
    {AppTab::stage, "stage", "Review Queue", "tray.full",
     "Review items before moving them to Trash."},
    {AppTab::monitor, "monitor", "Monitor", "waveform.path.ecg", ""},
    {AppTab::settings, "settings", "Settings", "gearshape", ""},
}};
// The seven tabs with a sidebar row, overview to stage.
inline constexpr std::size_t navigationTabCount = 7;

const AppTabInfo& info(AppTab tab);
std::optional<AppTab> appTab(std::string_view raw);

enum class ViewMode {
    folders,
    sunburst,
    flame,
    bubbles,
    mindmap,
    topsizes,
    agemap,
    treemap,
    types
};

struct ViewModeInfo {
    ViewMode mode;
    std::string_view id;
    std::string_view title;
    std::string_view symbol;
    std::string_view hint;
};

inline constexpr std::array<ViewModeInfo, 9> viewModes = {{
    {ViewMode::folders, "folders", "Folders", "folder",
     "List of folders, largest first. Double-click to open."},
    {ViewMode::sunburst, "sunburst", "Sunburst", "circle.hexagongrid",
     "Rings. Click a wedge to go into that folder."},
    {ViewMode::flame, "flame", "Flame", "flame", "Rows of nested size, top to bottom."},
    {ViewMode::bubbles, "bubbles", "Bubbles", "circle.grid.2x2", "Circles sized by bytes."},
    {ViewMode::mindmap, "mindmap", "Mind Map", "point.3.connected.trianglepath.dotted",
     "Branches from the current folder."},
    {ViewMode::topsizes, "topsizes", "Top Sizes", "list.number", "The largest files in this scan."},
    {ViewMode::agemap, "agemap", "Age Map", "calendar", "Bytes by how recently they changed."},
    {ViewMode::treemap, "treemap", "Treemap", "square.grid.2x2",
     "Rectangles sized by bytes. Click to go in."},
    {ViewMode::types, "types", "Types", "doc",
     "Bytes by kind of file. Click a kind to list its largest files."},
}};

const ViewModeInfo& info(ViewMode mode);
std::optional<ViewMode> viewMode(std::string_view raw);

} // namespace tb
