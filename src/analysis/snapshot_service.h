// Local snapshots that hold space on a volume: Time Machine's on macOS;
// on Linux Snapper's and Timeshift's btrfs snapshots (read from their
// folders first), and what "btrfs subvolume list -s", "zfs list" and "lvs"
// report where those tools exist. Only lists; never creates, thins or
// deletes, and runs nothing that changes anything. Each tool gets a few
// seconds; a missing or refusing tool is an empty answer, not an error.
// Blocks; keeps no state; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

namespace platform {
class ProcessRunner;
} // namespace platform

struct SnapshotInfo {
    std::string id;                    // one whole output line, as printed (Linux: a line made
    std::string raw;                   // of name, date and size); the same line
    std::string name;                  // what the tool calls it
    std::string date;                  // "YYYY-MM-DD hh:mm:ss" where known
    std::optional<std::int64_t> bytes; // space it holds, where the tool says

    bool operator==(const SnapshotInfo&) const = default;
};

namespace SnapshotService {

inline constexpr std::string_view tool = "/usr/bin/tmutil";
inline constexpr std::string_view marker = "com.apple.TimeMachine.";

// In output order; empty when the utility cannot be started, prints no
// snapshot lines or prints something that is not UTF-8.
std::vector<SnapshotInfo> listLocal(std::stop_token stop = {});
std::vector<SnapshotInfo> listLocal(const platform::ProcessRunner& runner,
                                    std::stop_token stop = {});

// The lines of the utility's output that name a snapshot, unchanged.
std::vector<SnapshotInfo> parseListing(std::string_view output);

// Time Machine's listing, then the Linux snapshots of the volume mounted at
// `mountPoint`.
std::vector<SnapshotInfo> listVolume(const std::string& mountPoint,
                                     const platform::ProcessRunner& runner,
                                     std::stop_token stop = {});
std::vector<SnapshotInfo> listVolume(const std::string& mountPoint, std::stop_token stop = {});

// Readers of each Linux source, for the listing above.
std::optional<SnapshotInfo> parseSnapperInfo(std::string_view infoXml);
std::vector<SnapshotInfo> parseZfsList(std::string_view output);
// The snapshots of the logical volume whose device number is `device`.
std::vector<SnapshotInfo> parseLvs(std::string_view output, std::uint64_t device);
std::vector<SnapshotInfo> parseBtrfsList(std::string_view output);
// "2024-01-02_03-04-05" (a Timeshift folder) -> "2024-01-02 03:04:05".
std::string timeshiftDate(std::string_view folderName);

} // namespace SnapshotService

} // namespace tb
