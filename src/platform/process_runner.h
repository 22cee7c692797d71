// Runs a system tool at a fixed path and collects its standard output. Any
// thread; no shared state. Blocks until the tool has exited, or until `stop`
// is requested, in which case the tool is killed and reaped.
#pragma once

#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

#include "base/result.h"

namespace tb::platform {

struct ProcessOutput {
    std::string standardOutput; // everything the tool wrote there, raw bytes
    int exitStatus = 0;         // the exit code, or 128 + signal number
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // `executable` is run as given (no PATH search), with standard input
    // from /dev/null. Standard error is drained and dropped so that a chatty
    // tool cannot fill its pipe and stall. Fails when the tool cannot be
    // started, or when stopped.
    virtual Result<ProcessOutput> run(const std::string& executable,
                                      const std::vector<std::string>& arguments,
                                      std::stop_token stop = {}) const = 0;
};

// As `runner.run`, but the tool is stopped once `limit` has passed: a tool
// that hangs (on a network mount, say) cannot hold up the caller for longer.
Result<ProcessOutput> runWithin(const ProcessRunner& runner, const std::string& executable,
                                const std::vector<std::string>& arguments,
                                std::chrono::milliseconds limit, std::stop_token stop = {});

// posix_spawn on the real system.
const ProcessRunner& systemProcessRunner();

} // namespace tb::platform
