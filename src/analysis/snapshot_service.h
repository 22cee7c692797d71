// Local Time Machine snapshots of the start-up volume, as the system's
// utility lists them. Only lists; never creates, thins or deletes. Blocks
// until the utility has exited; keeps no state; any thread.
#pragma once

#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

namespace platform {
class ProcessRunner;
}

struct SnapshotInfo {
    std::string id;   // one whole output line, as printed
    std::string raw;  // the same line

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

} // namespace SnapshotService

} // namespace tb
