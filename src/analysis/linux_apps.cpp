#include "analysis/linux_apps.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "analysis/dpkg_status.h"
#include "analysis/text.h"
#include "base/path.h"
#include "platform/app_source_reader.h"
#include "platform/file_system.h"
#include "platform/xdg_dirs.h"
#include "scan/scan_node.h"

namespace tb {

AppSources AppSources::forHome(const HomePlaces& places) {
    AppSources s;
    s.places = places;
    s.flatpakInstallations.push_back(Path::appending(places.dataHome, "flatpak"));
    s.flatpakInstallations.push_back("/var/lib/flatpak");
    s.snapMounts = "/snap";
    s.snapImages = "/var/lib/snapd/snaps";
    s.dpkgDatabase = "/var/lib/dpkg";
    s.programDirs = platform::XdgDirs::programDirs();
    s.systemRoot = "/";
    s.runningKernel = platform::XdgDirs::kernelRelease();
    s.applicationDirs.push_back(Path::appending(places.dataHome, "applications"));
    for (const auto& d : places.dataDirs) {
        s.applicationDirs.push_back(Path::appending(d, "applications"));
    }
    return s;
}

namespace LinuxApps {
namespace {

using platform::AppSourceReader::readDesktopEntry;
using platform::FileSystem::exists;
using platform::FileSystem::listNames;

std::vector<std::string> names(const std::string& folder) {
    auto listed = listNames(folder);
    if (!listed) return {};
    std::sort(listed->begin(), listed->end());
    return std::move(*listed);
}

bool isDirectory(const std::string& path) {
    return exists(path).isDirectory;
}

std::string_view lastDotComponent(std::string_view id) {
    const std::size_t dot = id.rfind('.');
    return dot == std::string_view::npos ? id : id.substr(dot + 1);
}

void addFlatpaks(const AppSources& s, std::vector<InstalledApp>& out,
                 std::unordered_set<std::string>& seen) {
    for (const auto& installation : s.flatpakInstallations) {
        const std::string apps = Path::appending(installation, "app");
        for (const auto& id : names(apps)) {
            const std::string deployed = Path::appending(apps, id);
            if (!isDirectory(deployed) || !seen.insert("flatpak:" + id).second) continue;
            InstalledApp a{"flatpak", id, id, {deployed}, deployed};
            // The exported entry carries the name the menus show.
            const std::string exported =
                Path::appending(installation, "exports/share/applications/" + id + ".desktop");
            if (auto e = readDesktopEntry(exported); e && !e->name.empty()) a.name = e->name;
            out.push_back(std::move(a));
        }
    }
}

void addSnaps(const AppSources& s, std::vector<InstalledApp>& out) {
    if (s.snapMounts.empty()) return;
    for (const auto& name : names(s.snapMounts)) {
        const std::string mounted = Path::appending(s.snapMounts, name);
        if (name == "bin" || !isDirectory(mounted)) continue;
        InstalledApp a{"snap", name, name, {}, mounted};
        // A mounted revision is a squashfs image; the images are what the
        // snap occupies on disk.
        for (const auto& image : names(s.snapImages)) {
            if (image.starts_with(name + "_") && image.ends_with(".snap")) {
                a.payload.push_back(Path::appending(s.snapImages, image));
            }
        }
        out.push_back(std::move(a));
    }
}

bool isAppImageName(std::string_view name) {
    return text::asciiLowercased(Path::extension(name)) == "appimage";
}

void addAppImages(const AppSources& s, std::span<const ScanNode* const> scanned,
                  std::vector<InstalledApp>& out) {
    std::unordered_set<std::string> paths;
    const auto add = [&](const std::string& path) {
        if (!paths.insert(path).second) return;
        const std::string file(Path::lastComponent(path));
        std::string name = file.substr(0, file.size() - 9); // ".AppImage"
        out.push_back({"appimage", file, std::move(name), {path}, path});
    };
    for (const ScanNode* n : scanned) {
        if (!n->isDirectory() && isAppImageName(n->name()) &&
            Path::isSameOrInside(n->path(), s.places.home)) {
            add(std::string(n->path()));
        }
    }
    // The usual homes of AppImages, for a scan that did not cover them.
    for (std::string_view folder : {"", "Applications", "AppImages", ".local/bin", "Downloads"}) {
        const std::string dir =
            folder.empty() ? s.places.home : Path::appending(s.places.home, folder);
        for (const auto& n : names(dir)) {
            if (isAppImageName(n)) add(Path::appending(dir, n));
        }
    }
}

// Desktop entries below one applications folder; subfolders make the id
// with "-" for "/".
void collectEntries(const std::string& root, const std::string& prefix, int depth,
                    std::vector<std::pair<std::string, std::string>>& out) {
    if (depth > 3) return;
    const std::string dir = prefix.empty() ? root : Path::appending(root, prefix);
    for (const auto& n : names(dir)) {
        const std::string rel = prefix.empty() ? n : prefix + "/" + n;
        const std::string path = Path::appending(root, rel);
        if (n.ends_with(".desktop")) {
            std::string id = rel;
            std::replace(id.begin(), id.end(), '/', '-');
            out.emplace_back(std::move(id), path);
        } else if (isDirectory(path)) {
            collectEntries(root, rel, depth + 1, out);
        }
    }
}

// The program an Exec line starts: its first word without quotes, past
// "env" and the variables it sets.
std::string execProgram(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (std::size_t i = 0; i < exec.size() && words.size() < 16; ++i) {
        const char c = exec[i];
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == '\\' && quoted && i + 1 < exec.size()) {
            word += exec[++i];
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    std::size_t i = 0;
    if (i < words.size() && Path::lastComponent(words[i]) == "env") {
        for (++i; i < words.size() &&
                  (words[i].find('=') != std::string::npos || words[i].starts_with("-"));
             ++i) {}
    }
    return i < words.size() ? words[i] : std::string();
}

// Where a program named in Exec lies: a path as given, a bare name along
// the program folders; empty when it is nowhere.
std::string programPath(const std::string& program, const AppSources& s) {
    if (program.find('/') != std::string::npos) {
        const auto e = exists(program);
        return e.exists && !e.isDirectory ? program : std::string();
    }
    for (const auto& dir : s.programDirs) {
        const std::string candidate = Path::appending(dir, program);
        const auto e = exists(candidate);
        if (e.exists && !e.isDirectory) return candidate;
    }
    return {};
}

void addDesktopEntries(const AppSources& s, std::vector<InstalledApp>& out) {
    std::unordered_set<std::string> ids;
    std::unordered_set<std::string> shown; // name and program of each entry kept
    for (const auto& dir : s.applicationDirs) {
        std::vector<std::pair<std::string, std::string>> entries;
        collectEntries(dir, "", 0, entries);
        for (auto& [id, path] : entries) {
            // The first folder of the search path wins, even with a deleted entry.
            if (!ids.insert(id).second) continue;
            const auto e = readDesktopEntry(path);
            if (!e || e->type != "Application" || e->hidden || e->noDisplay) continue;
            if (!e->flatpak.empty() || !e->snap.empty()) continue; // counted as such
            std::string shortId = id.substr(0, id.size() - 8);     // ".desktop"
            std::string name = e->name.empty() ? id : e->name;
            const std::string program = execProgram(e->exec);
            const std::string found = program.empty() ? program : programPath(program, s);
            if (!found.empty() && isAppImageName(found)) {
                // The entry is how the AppImage is started: one app, named
                // as the menus name it.
                const std::string image = Path::standardized(found);
                auto it = std::find_if(out.begin(), out.end(), [&](const InstalledApp& a) {
                    return a.kind == "appimage" && Path::standardized(a.url) == image;
                });
                if (it != out.end()) {
                    it->name = std::move(name);
                } else {
                    out.push_back({"appimage",
                                   std::string(Path::lastComponent(found)),
                                   std::move(name),
                                   {found},
                                   found});
                }
                continue;
            }
            // The same program under the same name from two folders is one app.
            if (!shown.insert(text::asciiLowercased(name) + '\n' + found).second && !found.empty())
                continue;
            InstalledApp app{"desktop", std::move(shortId), std::move(name), {}, path};
            if (!program.empty() && found.empty()) {
                app.problem =
                    "Cannot start: its program \u201c" + program + "\u201d does not exist.";
            }
            out.push_back(std::move(app));
        }
    }
}

// Same-source packages installed for one app: those that exist to run the
// package owning its entry (vim for vim-common) and those it alone needs
// (vim-runtime), never one that another package outside the group needs.
std::vector<const DpkgPackage*> packageGroup(
    const DpkgStatus& status, const DpkgPackage& owner,
    const std::unordered_map<const DpkgPackage*, std::vector<const DpkgPackage*>>& needers,
    const std::unordered_set<std::string>& entryOwners) {
    const auto neededBy = [&](const DpkgPackage* p) -> const std::vector<const DpkgPackage*>& {
        static const std::vector<const DpkgPackage*> none;
        const auto it = needers.find(p);
        return it == needers.end() ? none : it->second;
    };
    const auto ownsOtherEntry = [&](const DpkgPackage* p) {
        return p != &owner && entryOwners.count(p->name) > 0;
    };
    std::vector<const DpkgPackage*> group{&owner};
    std::unordered_set<const DpkgPackage*> in{&owner}, roots{&owner};
    for (const DpkgPackage* r : neededBy(&owner)) {
        if (r->source != owner.source || ownsOtherEntry(r) || in.count(r)) continue;
        // A package that runs several apps' packages (vim-gtk3 needs
        // vim-common and vim-gui-common) belongs to the most particular
        // one; with no single such one (a suite's metapackage), to none.
        std::size_t fewest = neededBy(&owner).size();
        bool alone = true;
        for (const auto& d : r->depends) {
            for (const DpkgPackage* q : status.satisfying(d)) {
                if (!ownsOtherEntry(q)) continue;
                const std::size_t users = neededBy(q).size();
                if (users < fewest)
                    fewest = users, alone = false;
                else if (users == fewest)
                    alone = false;
            }
        }
        if (!alone || fewest != neededBy(&owner).size()) continue;
        group.push_back(r);
        in.insert(r);
        roots.insert(r);
    }
    for (std::size_t i = 0; i < group.size() && group.size() < 256; ++i) {
        for (const auto& d : group[i]->depends) {
            for (const DpkgPackage* q : status.satisfying(d)) {
                if (q->source != owner.source || ownsOtherEntry(q) || !in.insert(q).second)
                    continue;
                group.push_back(q);
            }
        }
    }
    for (bool changed = true; changed;) {
        changed = false;
        for (auto it = group.begin(); it != group.end();) {
            const auto& users = neededBy(*it);
            const bool shared = !roots.count(*it) &&
                                std::any_of(users.begin(), users.end(),
                                            [&](const DpkgPackage* u) { return !in.count(u); });
            if (shared) {
                in.erase(*it);
                it = group.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
    }
    return group;
}

// The package that installed each entry, from dpkg's file lists, and the
// installed size of it and of what was installed only for it, from the
// status file: what "dpkg-query" would say, without running it. Entries one
// package installs are one app.
void addPackageSizes(const AppSources& s, std::vector<InstalledApp>& apps) {
    if (s.dpkgDatabase.empty()) return;
    std::unordered_map<std::string, std::size_t> wanted;
    for (std::size_t i = 0; i < apps.size(); ++i) {
        const auto& a = apps[i];
        // Entries in the Home folder are the user's own, never a package's.
        if (a.kind == "desktop" && !Path::isSameOrInside(a.url, s.places.home)) wanted[a.url] = i;
    }
    if (wanted.empty()) return;
    using platform::AppSourceReader::readSmallFile;
    const std::string info = Path::appending(s.dpkgDatabase, "info");
    std::unordered_map<std::string, std::vector<std::size_t>> byPackage;
    std::unordered_set<std::string> entryOwners;
    for (const auto& n : names(info)) {
        if (!n.ends_with(".list")) continue;
        const auto list = readSmallFile(Path::appending(info, n), 64 * 1024 * 1024);
        if (!list || list->find("/applications/") == std::string::npos) continue;
        std::string package = n.substr(0, n.size() - 5);
        package = package.substr(0, package.find(':')); // "foo:amd64"
        std::string_view rest(*list);
        while (!rest.empty()) {
            const std::size_t nl = rest.find('\n');
            const std::string_view line = rest.substr(0, nl);
            if (line.ends_with(".desktop") && line.find("/applications/") != std::string_view::npos)
                entryOwners.insert(package);
            const auto it = wanted.find(std::string(line));
            if (it != wanted.end()) byPackage[package].push_back(it->second);
            if (nl == std::string_view::npos) break;
            rest.remove_prefix(nl + 1);
        }
    }
    if (byPackage.empty()) return;
    const DpkgStatus status = DpkgStatus::read(s.dpkgDatabase);
    std::unordered_map<const DpkgPackage*, std::vector<const DpkgPackage*>> needers;
    for (const auto& p : status.packages()) {
        for (const auto& d : p.depends) {
            for (const DpkgPackage* q : status.satisfying(d))
                needers[q].push_back(&p);
        }
    }
    std::vector<bool> dropped(apps.size(), false);
    for (auto& [package, indexes] : byPackage) {
        // One package, one app: the entry with the plainest name stands for
        // it ("BleachBit", not "BleachBit (as root)").
        std::sort(indexes.begin(), indexes.end(), [&](std::size_t a, std::size_t b) {
            if (apps[a].name.size() != apps[b].name.size())
                return apps[a].name.size() < apps[b].name.size();
            return a < b;
        });
        for (std::size_t k = 1; k < indexes.size(); ++k)
            dropped[indexes[k]] = true;
        InstalledApp& app = apps[indexes.front()];
        const DpkgPackage* owner = status.find(package);
        if (!owner) continue;
        app.packageBytes = 0;
        for (const DpkgPackage* p : packageGroup(status, *owner, needers, entryOwners)) {
            app.packageBytes += p->installedBytes;
            app.packages.push_back(p->name);
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < apps.size(); ++i) {
        if (dropped[i]) continue;
        if (kept != i) apps[kept] = std::move(apps[i]);
        ++kept;
    }
    apps.resize(kept);
}

// Folder names too general to be taken as an application's own.
bool isSharedFolderName(std::string_view lower) {
    static const std::unordered_set<std::string_view> shared = {"applications",
                                                                "icons",
                                                                "mime",
                                                                "fonts",
                                                                "trash",
                                                                "flatpak",
                                                                "themes",
                                                                "sounds",
                                                                "keyrings",
                                                                "autostart",
                                                                "systemd",
                                                                "dconf",
                                                                "containers",
                                                                "snap",
                                                                "recently-used.xbel",
                                                                "user-dirs.dirs",
                                                                "desktop-directories",
                                                                "gvfs-metadata",
                                                                "fontconfig"};
    return lower.size() < 3 || shared.count(lower) > 0;
}

} // namespace

std::vector<InstalledApp> installed(const AppSources& sources,
                                    std::span<const ScanNode* const> scanned,
                                    std::stop_token stop) {
    std::vector<InstalledApp> apps;
    std::unordered_set<std::string> seen;
    addFlatpaks(sources, apps, seen);
    if (stop.stop_requested()) return apps;
    addSnaps(sources, apps);
    addAppImages(sources, scanned, apps);
    if (stop.stop_requested()) return apps;
    addDesktopEntries(sources, apps);
    addPackageSizes(sources, apps);
    return apps;
}

std::vector<std::string> relatedLocations(const InstalledApp& app, const HomePlaces& places) {
    std::vector<std::string> found;
    const auto addIfPresent = [&](const std::string& path) {
        if (exists(path).exists && std::find(found.begin(), found.end(), path) == found.end()) {
            found.push_back(path);
        }
    };
    if (app.kind == "flatpak") addIfPresent(Path::appending(places.home, ".var/app/" + app.id));
    if (app.kind == "snap") addIfPresent(Path::appending(places.home, "snap/" + app.id));

    std::vector<std::string> keys;
    for (std::string_view k : {lastDotComponent(app.id), std::string_view(app.name)}) {
        std::string lower = text::asciiLowercased(text::trimmed(k));
        if (app.kind == "appimage") lower = lower.substr(0, lower.find_first_of("-_ "));
        if (!isSharedFolderName(lower) &&
            std::find(keys.begin(), keys.end(), lower) == keys.end()) {
            keys.push_back(std::move(lower));
        }
    }
    if (keys.empty()) return found;
    for (const std::string* base :
         {&places.configHome, &places.dataHome, &places.cacheHome, &places.stateHome}) {
        for (const auto& n : names(*base)) {
            const std::string lower = text::asciiLowercased(n);
            if (std::find(keys.begin(), keys.end(), lower) != keys.end()) {
                addIfPresent(Path::appending(*base, n));
            }
        }
    }
    return found;
}

AppFootprint footprint(const InstalledApp& app, const HomePlaces& places,
                       const PathSizeIndex& index, std::stop_token stop) {
    AppFootprint f;
    f.id = app.url;
    f.url = app.url;
    f.name = app.name;
    f.bundleID = app.id;
    f.kind = app.kind;
    f.packages = app.packages;
    f.problem = app.problem;
    for (const auto& p : app.payload)
        f.appBytes += PathSize::allocated(p, index, stop);
    if (app.payload.empty() && app.packageBytes > 0) f.appBytes = app.packageBytes;
    for (auto& p : relatedLocations(app, places)) {
        f.relatedBytes += PathSize::allocated(p, index, stop);
        f.relatedPaths.push_back(std::move(p));
    }
    return f;
}

std::vector<Leftover> orphans(const std::vector<InstalledApp>& apps, const AppSources& sources,
                              const PathSizeIndex& index, std::stop_token stop) {
    std::unordered_set<std::string> flatpaks, snaps;
    for (const auto& a : apps) {
        if (a.kind == "flatpak") flatpaks.insert(a.id);
        if (a.kind == "snap") snaps.insert(a.id);
    }
    std::vector<Leftover> out;
    const auto scan = [&](const std::string& folder, const std::unordered_set<std::string>& known,
                          std::string_view owner, std::string_view reason) {
        for (const auto& n : names(folder)) {
            if (stop.stop_requested()) return;
            if (n.empty() || n[0] == '.' || known.count(n)) continue;
            const std::string path = Path::appending(folder, n);
            if (!isDirectory(path)) continue;
            Leftover l{path, path, std::string(reason), PathSize::allocated(path, index, stop)};
            l.owner = std::string(owner) + " " + n;
            l.orphan = true;
            out.push_back(std::move(l));
        }
    };
    scan(Path::appending(sources.places.home, ".var/app"), flatpaks, "Flatpak",
         "Flatpak app data \u2014 no installed Flatpak with this id");
    // Without snapd there is no /snap, and then no snap is installed.
    if (!sources.snapMounts.empty()) {
        scan(Path::appending(sources.places.home, "snap"), snaps, "Snap",
             "Snap data \u2014 no installed snap with this name");
    }
    return out;
}

std::vector<Leftover> leftBehind(std::span<const ScanNode* const> nodes, const AppSources& sources,
                                 std::stop_token stop) {
    const PathSizeIndex index = PathSize::indexMap(nodes);
    auto out = orphans(installed(sources, nodes, stop), sources, index, stop);
    std::stable_sort(out.begin(), out.end(),
                     [](const Leftover& a, const Leftover& b) { return a.bytes > b.bytes; });
    return out;
}

namespace {

constexpr CleanupDescriptor unusedRuntime{
    "Flatpak", "Runtime that no installed app uses; \"flatpak uninstall --unused\" removes it.",
    "No installed app or extension refers to this runtime.", CleanupRisk::review,
    "Flatpak installs it again with the next app that needs it."};
constexpr CleanupDescriptor oldSnapRevision{
    "Snap", "Older revision kept for rollback; \"snap remove --revision\" removes it.",
    "Not the revision that the snap's current link points at.", CleanupRisk::review};

struct Deploy {
    std::string ref;      // "id/arch/branch"
    std::string path;     // installation/kind/id/arch/branch
    std::string metadata; // its active metadata, possibly empty
};

// Every deployed id/arch/branch of one kind ("app" or "runtime").
std::vector<Deploy> deploys(const std::string& installation, std::string_view kind) {
    std::vector<Deploy> out;
    const std::string root = Path::appending(installation, kind);
    for (const auto& id : names(root)) {
        for (const auto& arch : names(Path::appending(root, id))) {
            const std::string archDir = Path::appending(root, id + "/" + arch);
            for (const auto& branch : names(archDir)) {
                const std::string path = Path::appending(archDir, branch);
                if (!isDirectory(path)) continue;
                auto meta = platform::AppSourceReader::readSmallFile(
                    Path::appending(path, "active/metadata"), 256 * 1024);
                out.push_back({id + "/" + arch + "/" + branch, path, meta.value_or("")});
            }
        }
    }
    return out;
}

std::string_view idOf(std::string_view ref) {
    return ref.substr(0, ref.find('/'));
}

std::string_view branchOf(std::string_view ref) {
    return ref.substr(ref.rfind('/') + 1);
}

// Where an app or runtime takes extensions in ("[Extension ID]"). Flatpak
// loads whatever matches, so a match is in use even when its own
// ExtensionOf names a runtime that is not installed: the GL drivers of every
// app built on a derived platform are such extensions.
struct ExtensionPoint {
    std::string id;
    bool subdirectories = false;       // "ID.anything" matches as well
    std::vector<std::string> branches; // "versions", else "version", else the host's

    bool admits(std::string_view ref) const {
        const std::string_view name = idOf(ref);
        const bool named = name == id || (subdirectories && name.size() > id.size() &&
                                          name.starts_with(id) && name[id.size()] == '.');
        return named &&
               std::find(branches.begin(), branches.end(), branchOf(ref)) != branches.end();
    }
};

std::vector<ExtensionPoint> extensionPoints(const Deploy& host) {
    using platform::AppSourceReader::keyFileValue;
    constexpr std::string_view prefix = "Extension ";
    std::vector<ExtensionPoint> out;
    for (const auto& group : platform::AppSourceReader::keyFileGroups(host.metadata)) {
        if (!group.starts_with(prefix)) continue;
        ExtensionPoint p{group.substr(prefix.size())};
        p.subdirectories = keyFileValue(host.metadata, group, "subdirectories") == "true";
        const std::string list = keyFileValue(host.metadata, group, "versions")
                                     .value_or(keyFileValue(host.metadata, group, "version")
                                                   .value_or(std::string(branchOf(host.ref))));
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t end = std::min(list.find(';', start), list.size());
            if (end > start) p.branches.push_back(list.substr(start, end - start));
            start = end + 1;
        }
        out.push_back(std::move(p));
    }
    return out;
}

} // namespace

CleanupCatalog::KnownPaths sandboxLeftovers(const AppSources& sources) {
    using platform::AppSourceReader::keyFileValue;
    CleanupCatalog::KnownPaths known;

    std::vector<Deploy> apps, runtimes;
    for (const auto& installation : sources.flatpakInstallations) {
        auto a = deploys(installation, "app");
        auto r = deploys(installation, "runtime");
        std::move(a.begin(), a.end(), std::back_inserter(apps));
        std::move(r.begin(), r.end(), std::back_inserter(runtimes));
    }
    std::unordered_set<std::string> used; // "runtime/REF" and "app/REF"
    std::vector<ExtensionPoint> points;   // of every app and used runtime
    const auto takeIn = [&](const Deploy& host) {
        auto more = extensionPoints(host);
        std::move(more.begin(), more.end(), std::back_inserter(points));
    };
    for (const auto& a : apps) {
        used.insert("app/" + a.ref);
        takeIn(a);
        if (auto r = keyFileValue(a.metadata, "Application", "runtime"))
            used.insert("runtime/" + *r);
    }
    // Extensions (GL drivers, translations, plugins) count as used when
    // what they extend is, or when something used takes them in; they may
    // extend each other, so settle by rounds.
    std::unordered_set<const Deploy*> hosts;
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& r : runtimes) {
            if (used.count("runtime/" + r.ref)) {
                if (hosts.insert(&r).second) {
                    takeIn(r);
                    grew = true;
                }
                continue;
            }
            const auto of = keyFileValue(r.metadata, "ExtensionOf", "ref");
            bool isUsed = (of && used.count(*of)) ||
                          std::any_of(points.begin(), points.end(),
                                      [&](const ExtensionPoint& p) { return p.admits(r.ref); });
            for (const auto& u : used) {
                if (isUsed) break;
                const std::string_view usedId = idOf(std::string_view(u).substr(u.find('/') + 1));
                isUsed = !of && idOf(r.ref).starts_with(std::string(usedId) + ".");
            }
            if (isUsed) grew = used.insert("runtime/" + r.ref).second || grew;
        }
    }
    for (const auto& r : runtimes) {
        if (!used.count("runtime/" + r.ref)) known.emplace(r.path, unusedRuntime);
    }

    if (!sources.snapMounts.empty()) {
        for (const auto& name : names(sources.snapMounts)) {
            const auto current = platform::AppSourceReader::linkTarget(
                Path::appending(sources.snapMounts, name + "/current"));
            if (!current) continue;
            for (const auto& image : names(sources.snapImages)) {
                if (!image.starts_with(name + "_") || !image.ends_with(".snap")) continue;
                const std::string rev =
                    image.substr(name.size() + 1, image.size() - name.size() - 6);
                if (rev != Path::lastComponent(*current)) {
                    known.emplace(Path::appending(sources.snapImages, image), oldSnapRevision);
                }
            }
        }
    }
    return known;
}

} // namespace LinuxApps

} // namespace tb
