// A scan of a folder on another machine: over ssh, the first scanner the
// machine has (Tarnbeck, ncdu, gdu) writes an export to standard output,
// which is read as it arrives and stored as a scan marked with the machine.
// Nothing is stored unless the whole export arrived and made sense. Any
// thread; blocks until done; a stop request ends it at once.
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/result.h"
#include "interchange/ncdu_json.h"
#include "interchange/scan_files.h"
#include "platform/remote_shell.h"

namespace tb::RemoteScan {

enum class Agent { tarnbeck, ncdu, gdu };
std::string_view nameOf(Agent agent);

// The command that asks which scanners the remote shell finds.
std::string probeCommand();
// The first scanner, in order of preference, that the probe's output
// names; lines the remote's login scripts print are passed over.
std::optional<Agent> chooseAgent(std::string_view probeOutput);
// The remote shell command that writes `path`'s export on standard output;
// `program` is the probe's answer for the agent (a path, or its name).
std::string agentCommand(Agent agent, const std::string& program, const std::string& path);

struct Options {
    std::string storeDirectory;
    std::string ssh = "ssh"; // looked up on PATH
    NcduJson::Progress progress;
    std::stop_token stop;
};

struct Summary {
    ScanFiles::ImportSummary imported;
    Agent agent = Agent::tarnbeck;
    std::vector<ScanRecord> removed; // older scans of the folder there, past those kept
};

// Errors, domain "RemoteScan": 2 ssh could not connect (its own message);
// 3 the machine has no scanner; 4 the scanner failed or sent something
// other than an export; 5 stopped; 6 the scan could not be stored; 7 the
// login was refused (ssh's message and how to set up a key).
Result<Summary> scan(const platform::RemoteAddress& address, const Options& options);

// Whether an error of `scan` is a refused login, for which a key is the fix.
bool isLoginRefused(const Error& error);

} // namespace tb::RemoteScan
