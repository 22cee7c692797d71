// Applications installed on Linux and the storage they keep in the Home
// folder: Flatpak apps (user and system installations), snaps, AppImages and
// desktop-entry applications. Files are the only source: nothing here runs a
// package manager. Blocking file-system reads: run on a background task.
// Stateless.
#pragma once

#include <cstdint>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/cleanup_catalog.h"
#include "analysis/home_places.h"
#include "analysis/path_size.h"
#include "analysis/storage_insights.h"
#include "analysis/uninstaller.h"

namespace tb {

class ScanNode;

struct InstalledApp {
    std::string kind;                  // "flatpak", "snap", "appimage", "desktop"
    std::string id;                    // Flatpak id, snap name, desktop-file id, AppImage file name
    std::string name;                  // what the user sees
    std::vector<std::string> payload;  // where the app itself lies (sized as its app bytes)
    std::string url;                   // the one location the footprint points at
    std::int64_t packageBytes = -1;    // installed size the package manager records
    std::vector<std::string> packages; // the dpkg packages packageBytes counts
    std::string problem;               // why it cannot start, when it cannot

    bool operator==(const InstalledApp&) const = default;
};

// Where installed applications are looked for, and the machine's files that
// say what it keeps. The system's desktop entries
// count only for the current user's own home (see HomePlaces::of); the
// Flatpak and snap installations are the machine's. Tests set their own.
struct AppSources {
    HomePlaces places;
    std::vector<std::string> flatpakInstallations; // user one first
    std::string snapMounts;                        // "/snap"
    std::string snapImages;                        // "/var/lib/snapd/snaps"
    std::vector<std::string> applicationDirs;      // each XDG data dir + "/applications"
    std::string dpkgDatabase;                      // "/var/lib/dpkg"
    std::vector<std::string> programDirs;          // $PATH, where Exec programs are found
    std::string systemRoot;                        // "/": the machine's own files
    std::string runningKernel;                     // "uname -r"; empty when unknown

    static AppSources forHome(const HomePlaces& places);
};

namespace LinuxApps {

std::vector<InstalledApp> installed(const AppSources& sources,
                                    std::span<const ScanNode* const> scanned,
                                    std::stop_token stop = {});

// The app's locations in the Home folder that exist: ~/.var/app/<id>,
// ~/snap/<name>, and the children of the XDG config, data, cache and state
// folders whose name matches the id's last component or the app's name,
// ignoring case.
std::vector<std::string> relatedLocations(const InstalledApp& app, const HomePlaces& places);

AppFootprint footprint(const InstalledApp& app, const HomePlaces& places,
                       const PathSizeIndex& index, std::stop_token stop = {});

// Data whose owner is gone: ~/.var/app/<id> without an installed Flatpak of
// that id, ~/snap/<name> without an installed snap of that name.
std::vector<Leftover> orphans(const std::vector<InstalledApp>& apps, const AppSources& sources,
                              const PathSizeIndex& index, std::stop_token stop = {});

// The orphans of the apps installed now, largest first: what Apps lists
// as left behind. Sizes from `nodes` where scanned, else probed.
std::vector<Leftover> leftBehind(std::span<const ScanNode* const> nodes, const AppSources& sources,
                                 std::stop_token stop = {});

// What the sandboxes keep that nothing uses: Flatpak runtimes no installed
// app or extension needs (what "flatpak uninstall --unused" would remove),
// and snap images other than each snap's current revision. Read from the
// installations' files; no tool is run.
CleanupCatalog::KnownPaths sandboxLeftovers(const AppSources& sources);

} // namespace LinuxApps

} // namespace tb
