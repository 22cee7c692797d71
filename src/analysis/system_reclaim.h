// What the machine keeps that the user cannot move to the Trash but can
// reclaim with one command: the APT cache, packages apt would autoremove,
// old kernels, the journal, container storage. Facts of the machine, not of
// a scan; read from the files below `AppSources::systemRoot` and, for the
// container tools, their own report under a time limit. Blocking: run on a
// background task. Stateless.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

struct AppSources;

namespace platform {
class ProcessRunner;
} // namespace platform

struct SystemReclaim {
    std::string id;     // "apt-cache", "autoremove", "old-kernels", "journal", "docker", "podman"
    std::string title;  // what the user sees
    std::string detail; // what it holds and what the command leaves
    std::int64_t bytes = 0;
    std::string command; // the exact command line that gives the bytes back

    bool operator==(const SystemReclaim&) const = default;
};

namespace SystemReclaims {

// Only what holds bytes, in a fixed order.
std::vector<SystemReclaim> gather(const AppSources& sources, const platform::ProcessRunner& runner,
                                  std::chrono::milliseconds limit = std::chrono::seconds(10),
                                  std::stop_token stop = {});

// "1.2GB (50%)" or "512kB" as a container tool prints it; none when unreadable.
std::optional<std::int64_t> toolBytes(std::string_view text);

// Orders kernel versions as their numbers do ("6.1.0-10" after "6.1.0-9").
bool olderVersion(std::string_view a, std::string_view b);

} // namespace SystemReclaims

} // namespace tb
