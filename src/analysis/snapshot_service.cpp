#include "analysis/snapshot_service.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

#include "analysis/text.h"
#include "base/byte_format.h"
#include "base/path.h"
#include "platform/app_source_reader.h"
#include "platform/file_system.h"
#include "platform/process_runner.h"

namespace tb::SnapshotService {
namespace {

// Length of the line break at `i`, or 0: LF, VT, FF, CR, and the UTF-8
// encodings of NEL (U+0085), LS (U+2028) and PS (U+2029).
std::size_t lineBreakAt(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x0A && c <= 0x0D) return 1;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x85) return 2;
    if (c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80) {
        const unsigned char d = static_cast<unsigned char>(s[i + 2]);
        if (d == 0xA8 || d == 0xA9) return 3;
    }
    return 0;
}

} // namespace

std::vector<SnapshotInfo> parseListing(std::string_view output) {
    std::vector<SnapshotInfo> snapshots;
    if (!text::isValidUtf8(output)) return snapshots;
    const auto take = [&](std::string_view line) {
        if (line.empty() || line.find(marker) == std::string_view::npos) return;
        snapshots.push_back({std::string(line), std::string(line)});
    };
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < output.size()) {
        if (const std::size_t len = lineBreakAt(output, i)) {
            take(output.substr(start, i - start));
            i += len;
            start = i;
        } else {
            ++i;
        }
    }
    take(output.substr(start));
    return snapshots;
}

std::vector<SnapshotInfo> listLocal(const platform::ProcessRunner& runner, std::stop_token stop) {
    auto result = runner.run(std::string(tool), {"listlocalsnapshots", "/"}, stop);
    if (!result) return {};
    return parseListing(result->standardOutput);
}

std::vector<SnapshotInfo> listLocal(std::stop_token stop) {
    return listLocal(platform::systemProcessRunner(), stop);
}

} // namespace tb::SnapshotService

namespace tb::SnapshotService {
namespace {

using namespace std::chrono_literals;

constexpr auto toolTimeLimit = 5s;

std::vector<std::string_view> splitLines(std::string_view s) {
    std::vector<std::string_view> out;
    while (!s.empty()) {
        const std::size_t nl = s.find('\n');
        std::string_view line = s.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) out.push_back(line);
        if (nl == std::string_view::npos) break;
        s.remove_prefix(nl + 1);
    }
    return out;
}

std::vector<std::string_view> splitOn(std::string_view s, char sep) {
    std::vector<std::string_view> out;
    for (;;) {
        const std::size_t at = s.find(sep);
        out.push_back(text::trimmed(s.substr(0, at)));
        if (at == std::string_view::npos) return out;
        s.remove_prefix(at + 1);
    }
}

std::optional<std::int64_t> number(std::string_view s) {
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9' || v > (INT64_MAX - 9) / 10) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::string element(std::string_view xml, std::string_view tag) {
    const std::string open = "<" + std::string(tag) + ">";
    const std::string close = "</" + std::string(tag) + ">";
    const std::size_t a = xml.find(open);
    if (a == std::string_view::npos) return {};
    const std::size_t b = xml.find(close, a + open.size());
    if (b == std::string_view::npos) return {};
    return std::string(text::trimmed(xml.substr(a + open.size(), b - a - open.size())));
}

std::string utcDate(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!::gmtime_r(&t, &tm)) return {};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

SnapshotInfo described(std::string name, std::string date, std::optional<std::int64_t> bytes) {
    SnapshotInfo s;
    s.name = std::move(name);
    s.date = std::move(date);
    s.bytes = bytes;
    s.raw = s.name;
    if (!s.date.empty()) s.raw += "  " + s.date;
    if (s.bytes) s.raw += "  " + ByteFormat::string(*s.bytes);
    s.id = s.raw;
    return s;
}

// Runs a reading tool for at most a few seconds; a tool that hangs on a
// busy pool must not hold the listing.
Result<platform::ProcessOutput> runLimited(const platform::ProcessRunner& runner,
                                           const std::string& exe,
                                           const std::vector<std::string>& args,
                                           std::stop_token stop) {
    std::stop_source limit;
    std::stop_callback forward(stop, [&limit] { limit.request_stop(); });
    std::mutex m;
    std::condition_variable_any finished;
    bool done = false;
    std::jthread timer([&](std::stop_token own) {
        std::unique_lock lock(m);
        if (!finished.wait_for(lock, own, toolTimeLimit, [&] { return done; })) {
            limit.request_stop();
        }
    });
    auto result = runner.run(exe, args, limit.get_token());
    {
        std::lock_guard lock(m);
        done = true;
    }
    finished.notify_all();
    return result;
}

std::optional<std::string> firstOutput(const platform::ProcessRunner& runner,
                                       std::initializer_list<const char*> candidates,
                                       const std::vector<std::string>& args, std::stop_token stop) {
    for (const char* exe : candidates) {
        if (stop.stop_requested()) return std::nullopt;
        auto r = runLimited(runner, exe, args, stop);
        if (r && r->exitStatus == 0) return std::move(r->standardOutput);
        if (r) return std::nullopt; // it ran and refused: the next path is the same tool
    }
    return std::nullopt;
}

std::vector<std::string> sortedNames(const std::string& folder) {
    auto names = platform::FileSystem::listNames(folder);
    if (!names) return {};
    std::sort(names->begin(), names->end());
    return std::move(*names);
}

void addFolderSnapshots(const std::string& mountPoint, std::vector<SnapshotInfo>& out) {
    const std::string snapper = Path::appending(mountPoint, ".snapshots");
    for (const auto& n : sortedNames(snapper)) {
        const auto xml = platform::AppSourceReader::readSmallFile(
            Path::appending(snapper, n + "/info.xml"), 64 * 1024);
        if (!xml) continue;
        if (auto s = parseSnapperInfo(*xml)) out.push_back(std::move(*s));
    }
    for (std::string_view folder : {"timeshift-btrfs/snapshots", "timeshift/snapshots"}) {
        const std::string dir = Path::appending(mountPoint, folder);
        for (const auto& n : sortedNames(dir)) {
            if (!platform::FileSystem::exists(Path::appending(dir, n)).isDirectory) continue;
            out.push_back(described("Timeshift " + n, timeshiftDate(n), std::nullopt));
        }
    }
}

} // namespace

std::optional<SnapshotInfo> parseSnapperInfo(std::string_view xml) {
    const std::string num = element(xml, "num");
    if (num.empty() || !number(num)) return std::nullopt;
    std::string name = "Snapper #" + num;
    const std::string description = element(xml, "description");
    if (!description.empty()) name += " " + description;
    return described(std::move(name), element(xml, "date"), std::nullopt);
}

std::vector<SnapshotInfo> parseZfsList(std::string_view output) {
    std::vector<SnapshotInfo> out;
    for (std::string_view line : splitLines(output)) {
        const auto f = splitOn(line, '\t');
        if (f.size() < 3 || f[0].find('@') == std::string_view::npos) continue;
        const auto created = number(f[2]);
        out.push_back(described(std::string(f[0]), created ? utcDate(*created) : "", number(f[1])));
    }
    return out;
}

std::vector<SnapshotInfo> parseLvs(std::string_view output, std::uint64_t device) {
    // lv_name|vg_name|origin|lv_size|lv_time|lv_kernel_major|lv_kernel_minor;
    // only snapshots have an origin, and only active volumes a device.
    std::vector<std::vector<std::string_view>> rows;
    std::string_view volumeGroup, volume; // the one holding `device`
    for (std::string_view line : splitLines(output)) {
        auto f = splitOn(line, '|');
        if (f.size() < 7) continue;
        const auto major = number(f[5]), minor = number(f[6]);
        if (major && minor && *major <= UINT32_MAX && *minor <= UINT32_MAX &&
            platform::FileSystem::deviceNumber(std::uint32_t(*major), std::uint32_t(*minor)) ==
                device) {
            volumeGroup = f[1];
            volume = f[0];
        }
        rows.push_back(std::move(f));
    }
    std::vector<SnapshotInfo> out;
    if (volume.empty()) return out;
    for (const auto& f : rows) {
        if (f[1] != volumeGroup || f[2] != volume) continue;
        std::string date(f[4].substr(0, 19));
        out.push_back(
            described(std::string(f[1]) + "/" + std::string(f[0]) + " of " + std::string(f[2]),
                      std::move(date), number(f[3])));
    }
    return out;
}

std::vector<SnapshotInfo> parseBtrfsList(std::string_view output) {
    std::vector<SnapshotInfo> out;
    for (std::string_view line : splitLines(output)) {
        const std::size_t path = line.find(" path ");
        if (path == std::string_view::npos) continue;
        std::string date;
        if (const std::size_t o = line.find(" otime "); o != std::string_view::npos) {
            date = std::string(line.substr(o + 7, 19));
        }
        out.push_back(described(std::string(line.substr(path + 6)), std::move(date), std::nullopt));
    }
    return out;
}

std::string timeshiftDate(std::string_view n) {
    // YYYY-MM-DD_hh-mm-ss
    if (n.size() != 19 || n[10] != '_') return {};
    std::string d(n);
    d[10] = ' ';
    d[13] = ':';
    d[16] = ':';
    return d;
}

std::vector<SnapshotInfo> listVolume(const std::string& mountPoint,
                                     const platform::ProcessRunner& runner, std::stop_token stop) {
    std::vector<SnapshotInfo> out = listLocal(runner, stop);
    const std::size_t before = out.size();
    addFolderSnapshots(mountPoint, out);
    if (out.size() == before) {
        // Needs root on most systems; refusing is a normal answer.
        if (auto o = firstOutput(runner, {"/usr/bin/btrfs", "/bin/btrfs", "/usr/sbin/btrfs"},
                                 {"subvolume", "list", "-s", mountPoint}, stop)) {
            for (auto& s : parseBtrfsList(*o))
                out.push_back(std::move(s));
        }
    }
    // The snapshots of the dataset holding the mount point, not of every
    // pool; on any other file system the tool refuses, which lists nothing.
    if (auto o = firstOutput(runner, {"/usr/sbin/zfs", "/sbin/zfs"},
                             {"list", "-H", "-p", "-t", "snapshot", "-d", "1", "-o",
                              "name,used,creation", mountPoint},
                             stop)) {
        for (auto& s : parseZfsList(*o))
            out.push_back(std::move(s));
    }
    // LVM snapshots of the logical volume the file system sits on; they hold
    // room in its volume group, not on other file systems.
    const auto volume = platform::FileSystem::values(mountPoint);
    if (!volume) return out;
    if (auto o =
            firstOutput(runner, {"/usr/sbin/lvs", "/sbin/lvs"},
                        {"--noheadings", "--nosuffix", "--units", "b", "--separator", "|", "-o",
                         "lv_name,vg_name,origin,lv_size,lv_time,lv_kernel_major,"
                         "lv_kernel_minor"},
                        stop)) {
        for (auto& s : parseLvs(*o, volume->device))
            out.push_back(std::move(s));
    }
    return out;
}

std::vector<SnapshotInfo> listVolume(const std::string& mountPoint, std::stop_token stop) {
    return listVolume(mountPoint, platform::systemProcessRunner(), stop);
}

} // namespace tb::SnapshotService
