#include "analysis/system_reclaim.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "analysis/dpkg_status.h"
#include "analysis/linux_apps.h"
#include "analysis/path_size.h"
#include "analysis/text.h"
#include "base/byte_format.h"
#include "base/path.h"
#include "platform/app_source_reader.h"
#include "platform/file_system.h"
#include "platform/process_runner.h"

namespace tb::SystemReclaims {
namespace {

// Bounded probes: a system folder of millions of entries must not stall us.
constexpr int probeCap = 20000;
constexpr std::size_t listedNames = 6;

std::string listed(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size() && i < listedNames; ++i)
        out += (i ? ", " : "") + names[i];
    if (names.size() > listedNames) out += ", \u2026";
    return out;
}

std::optional<SystemReclaim> aptCache(const std::string& root, const std::stop_token& stop) {
    const std::string cache = Path::appending(root, "var/cache/apt");
    const std::string archives = Path::appending(cache, "archives");
    std::int64_t bytes = 0;
    std::size_t debs = 0;
    if (auto names = platform::FileSystem::listNames(archives)) {
        for (const auto& n : *names) {
            if (!n.ends_with(".deb")) continue;
            bytes += PathSize::allocated(Path::appending(archives, n), probeCap, stop);
            ++debs;
        }
    }
    bytes += PathSize::allocated(Path::appending(archives, "partial"), probeCap, stop);
    for (const char* bin : {"pkgcache.bin", "srcpkgcache.bin"})
        bytes += PathSize::allocated(Path::appending(cache, bin), probeCap, stop);
    if (bytes <= 0) return std::nullopt;
    return SystemReclaim{"apt-cache", "APT package cache",
                         std::to_string(debs) + " downloaded package files in " + archives +
                             "; apt downloads them again when it needs them.",
                         bytes, "sudo apt clean"};
}

std::optional<SystemReclaim> autoremove(const DpkgStatus& status, const std::string& root) {
    const auto states = platform::AppSourceReader::readSmallFile(
        Path::appending(root, "var/lib/apt/extended_states"), 64 * 1024 * 1024);
    if (!states) return std::nullopt;
    std::vector<std::string> names;
    std::int64_t bytes = 0;
    for (const DpkgPackage* p : autoRemovable(status, *states)) {
        names.push_back(p->name);
        bytes += p->installedBytes;
    }
    if (names.empty()) return std::nullopt;
    return SystemReclaim{"autoremove", "Packages nothing needs any more",
                         "Installed as dependencies; no package installed by hand needs them: " +
                             listed(names) + ".",
                         bytes, "sudo apt autoremove"};
}

bool isKernelImage(std::string_view name) {
    constexpr std::string_view prefix = "linux-image-";
    return name.starts_with(prefix) && name.size() > prefix.size() && name[prefix.size()] >= '0' &&
           name[prefix.size()] <= '9' && !name.ends_with("-dbg");
}

std::optional<SystemReclaim> oldKernels(const DpkgStatus& status, const std::string& running) {
    std::vector<const DpkgPackage*> images;
    for (const auto& p : status.packages()) {
        if (isKernelImage(p.name)) images.push_back(&p);
    }
    if (images.size() < 2) return std::nullopt;
    const auto version = [](const DpkgPackage* p) {
        return std::string_view(p->name).substr(std::string_view("linux-image-").size());
    };
    const DpkgPackage* newest = *std::max_element(images.begin(), images.end(),
                                                  [&](const DpkgPackage* a, const DpkgPackage* b) {
                                                      return olderVersion(version(a), version(b));
                                                  });
    std::vector<std::string> names;
    std::int64_t bytes = 0;
    for (const DpkgPackage* p : images) {
        const std::string_view v = version(p);
        // Without knowing the running kernel, none is safe to name.
        if (running.empty() || p == newest || v == running ||
            (v.starts_with(running) && v.substr(running.size()) == "-unsigned")) {
            continue;
        }
        names.push_back(p->name);
        bytes += p->installedBytes;
    }
    if (names.empty()) return std::nullopt;
    std::string command = "sudo apt purge";
    for (const auto& n : names)
        command += " " + n;
    return SystemReclaim{"old-kernels", "Old kernels",
                         "Neither the running kernel (" + running + ") nor the newest (" +
                             newest->name + "): " + listed(names) + ".",
                         bytes, command};
}

std::optional<SystemReclaim> journal(const std::string& root, const std::stop_token& stop) {
    const std::string folder = Path::appending(root, "var/log/journal");
    const std::int64_t bytes = PathSize::allocated(folder, probeCap, stop);
    constexpr std::int64_t kept = 100'000'000;
    if (bytes <= kept) return std::nullopt;
    return SystemReclaim{
        "journal", "System journal",
        "Logs in " + folder + "; the command keeps the newest " + ByteFormat::string(kept) + ".",
        bytes - kept, "sudo journalctl --vacuum-size=100M"};
}

std::optional<SystemReclaim> containers(std::string_view tool, const std::string& title,
                                        const AppSources& sources,
                                        const platform::ProcessRunner& runner,
                                        std::chrono::milliseconds limit,
                                        const std::stop_token& stop) {
    std::string executable;
    for (const auto& dir : sources.programDirs) {
        const std::string candidate = Path::appending(dir, std::string(tool));
        const auto e = platform::FileSystem::exists(candidate);
        if (e.exists && !e.isDirectory) {
            executable = candidate;
            break;
        }
    }
    if (executable.empty()) return std::nullopt;
    const auto out = platform::runWithin(
        runner, executable, {"system", "df", "--format", "{{.Type}}\t{{.Reclaimable}}"}, limit,
        stop);
    if (!out || out->exitStatus != 0 || out->standardOutput.size() > 64 * 1024) return std::nullopt;
    std::int64_t bytes = 0;
    std::vector<std::string> kinds;
    std::string_view rest(out->standardOutput);
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        const std::string_view line = rest.substr(0, nl);
        rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) continue;
        const auto b = toolBytes(line.substr(tab + 1));
        if (!b || *b <= 0) continue;
        bytes += *b;
        kinds.emplace_back(text::trimmed(line.substr(0, tab)));
    }
    if (bytes <= 0) return std::nullopt;
    return SystemReclaim{
        std::string(tool), title,
        "Reclaimable as \"" + std::string(tool) + " system df\" counts it: " + listed(kinds) + ".",
        bytes, std::string(tool) + " system prune"};
}

} // namespace

std::optional<std::int64_t> toolBytes(std::string_view text) {
    text = text::trimmed(text);
    std::size_t i = 0;
    while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.'))
        ++i;
    if (i == 0 || i > 20) return std::nullopt;
    double value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + i, value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + i) return std::nullopt;
    std::string_view unit = text::trimmed(text.substr(i));
    unit = unit.substr(0, unit.find_first_of(" ("));
    static const struct {
        std::string_view unit;
        double factor;
    } units[] = {{"B", 1},
                 {"kB", 1e3},
                 {"KB", 1e3},
                 {"MB", 1e6},
                 {"GB", 1e9},
                 {"TB", 1e12},
                 {"KiB", 1024.0},
                 {"MiB", 1048576.0},
                 {"GiB", 1073741824.0},
                 {"TiB", 1099511627776.0},
                 {"", 1}};
    for (const auto& u : units) {
        if (unit != u.unit) continue;
        const double bytes = value * u.factor;
        if (!std::isfinite(bytes) || bytes > 9e18) return std::nullopt;
        return std::int64_t(std::llround(bytes));
    }
    return std::nullopt;
}

bool olderVersion(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei]))
                ++ei;
            while (ej < b.size() && digit(b[ej]))
                ++ej;
            std::string_view na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            while (na.size() > 1 && na[0] == '0')
                na.remove_prefix(1);
            while (nb.size() > 1 && nb[0] == '0')
                nb.remove_prefix(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<SystemReclaim> gather(const AppSources& sources, const platform::ProcessRunner& runner,
                                  std::chrono::milliseconds limit, std::stop_token stop) {
    std::vector<SystemReclaim> out;
    if (sources.systemRoot.empty()) return out;
    const std::string& root = sources.systemRoot;
    const DpkgStatus status = DpkgStatus::read(Path::appending(root, "var/lib/dpkg"));
    for (auto item :
         {aptCache(root, stop), autoremove(status, root), oldKernels(status, sources.runningKernel),
          journal(root, stop),
          containers("docker", "Docker images, containers and build cache", sources, runner, limit,
                     stop),
          containers("podman", "Podman images and containers", sources, runner, limit, stop)}) {
        if (item) out.push_back(std::move(*item));
    }
    return out;
}

} // namespace tb::SystemReclaims
