#include "interchange/remote_scan.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <array>

#include "base/path.h"
#include "platform/file_descriptor.h"
#include "store/scan_retention.h"

namespace tb::RemoteScan {
namespace {

constexpr std::array kPreference = {Agent::tarnbeck, Agent::ncdu, Agent::gdu};
// A probe's answer is a few paths; a login script may add a little more.
constexpr std::size_t kProbeBytes = 64 << 10;

enum Code {
    connectFailed = 2,
    noScanner = 3,
    notAnExport = 4,
    stopped = 5,
    notStored = 6,
    loginRefused = 7
};

Error failure(int code, std::string message) {
    return Error{"RemoteScan", code, std::move(message)};
}

// A tool's message as one line: its lines joined by "; ".
std::string trimmed(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (line.empty()) continue;
        if (!out.empty()) out += "; ";
        out += line;
    }
    return out;
}

// Enough of a tool's complaint to act on, not a flood.
std::string shortened(std::string text) {
    constexpr std::size_t kShownBytes = 2000;
    if (text.size() > kShownBytes) text = text.substr(0, kShownBytes) + " …";
    return text;
}

std::string copyIdTarget(const platform::RemoteAddress& address) {
    std::string target = address.port ? "-p " + std::to_string(*address.port) + " " : "";
    return target + (address.user.empty() ? "" : address.user + "@") + address.host;
}

// ssh's own failure: its exit status is 255 and its message says why.
Error sshFailure(const platform::RemoteAddress& address, const std::string& errors) {
    const std::string said = trimmed(errors);
    const std::string why = said.empty() ? "ssh exited without a message" : shortened(said);
    if (said.find("Permission denied") != std::string::npos) {
        const std::string sentence = why.ends_with('.') ? why.substr(0, why.size() - 1) : why;
        return failure(loginRefused,
                       "cannot log in to " + address.machine() + ": " + sentence +
                           ". Tarnbeck never asks for a password: make a key with ssh-keygen, "
                           "copy it there with ssh-copy-id " +
                           copyIdTarget(address) + ", or add yours to ssh-agent");
    }
    return failure(connectFailed, "cannot reach " + address.machine() + ": " + why);
}

// Reads `fd` to its end, or until `limit` has passed; true at its end.
bool drainedWithin(int fd, std::chrono::milliseconds limit, const std::stop_token& stop) {
    if (fd < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    while (!stop.stop_requested()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::min<std::int64_t>(left.count(), 100)));
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0 && errno != EINTR) return false;
    }
    return false;
}

struct Finished {
    std::string output;
    int status = 0;
    std::string errors;
};

Result<Finished> runToEnd(const platform::RemoteAddress& address, const std::string& command,
                          const Options& options) {
    auto ssh = platform::RemoteCommand::start(options.ssh, platform::sshArguments(address, command),
                                              options.stop);
    if (!ssh) return failure(connectFailed, ssh.error().message);
    platform::FileDescriptor out = ssh->takeOutput();
    Finished f;
    char buffer[4096];
    for (;;) {
        const ssize_t n = platform::readRetrying(out.get(), buffer, sizeof buffer);
        if (n <= 0) break;
        if (f.output.size() < kProbeBytes) f.output.append(buffer, std::size_t(n));
    }
    out.reset();
    f.status = ssh->wait();
    f.errors = ssh->errors();
    if (options.stop.stop_requested()) return failure(stopped, "the remote scan was stopped");
    return f;
}

} // namespace

std::string_view nameOf(Agent agent) {
    switch (agent) {
    case Agent::tarnbeck: return "tarnbeck";
    case Agent::ncdu: return "ncdu";
    case Agent::gdu: return "gdu";
    }
    return "";
}

std::string probeCommand() {
    return "command -v tarnbeck ncdu gdu";
}

std::optional<Agent> chooseAgent(std::string_view probeOutput) {
    for (Agent agent : kPreference) {
        std::string_view rest = probeOutput;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            if (line.ends_with('\r')) line.remove_suffix(1);
            // `command -v` names a program on PATH by its absolute path.
            if (line.starts_with('/') && Path::lastComponent(std::string(line)) == nameOf(agent))
                return agent;
        }
    }
    return std::nullopt;
}

std::string agentCommand(Agent agent, const std::string& program, const std::string& path) {
    const std::string p = platform::shellQuoted(program);
    const std::string folder = platform::shellQuoted(path);
    switch (agent) {
    case Agent::tarnbeck: return p + " scan --export - -- " + folder;
    // One file system, as a scan here stays on one.
    case Agent::ncdu: return p + " -0 -x -o - -- " + folder;
    case Agent::gdu: return p + " -n -x -o - -- " + folder;
    }
    return {};
}

std::string programFor(Agent agent, std::string_view probeOutput) {
    std::string_view rest = probeOutput;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with('/') && Path::lastComponent(line) == nameOf(agent)) return line;
    }
    return std::string(nameOf(agent));
}

Result<Summary> scan(const platform::RemoteAddress& address, const Options& options) {
    auto probe = runToEnd(address, probeCommand(), options);
    if (!probe) return probe.error();
    if (probe->status == platform::kSshFailure) return sshFailure(address, probe->errors);
    const auto agent = chooseAgent(probe->output);
    if (!agent) {
        return failure(noScanner, address.machine() +
                                      " has none of tarnbeck, ncdu or gdu on the PATH of its "
                                      "shell: install one there (ncdu is in most distributions)");
    }
    const std::string command =
        agentCommand(*agent, programFor(*agent, probe->output), address.path);
    auto ssh = platform::RemoteCommand::start(options.ssh, platform::sshArguments(address, command),
                                              options.stop);
    if (!ssh) return failure(connectFailed, ssh.error().message);
    platform::FileDescriptor output = ssh->takeOutput();
    platform::FileDescriptor spare(::fcntl(output.get(), F_DUPFD_CLOEXEC, 0));
    auto imported = NcduJson::readDescriptor(std::move(output), address.shown(), options.stop,
                                             options.progress);
    // After a bad export the scanner's exit status tells a failure from
    // chatter; one that keeps writing is not waited for.
    const bool keptWriting =
        !imported && !drainedWithin(spare.get(), std::chrono::seconds(2), options.stop);
    if (keptWriting) ssh->kill();
    spare.reset();
    const int status = ssh->wait();
    const std::string errors = ssh->errors();
    if (options.stop.stop_requested()) return failure(stopped, "the remote scan was stopped");
    if (status == platform::kSshFailure) return sshFailure(address, errors);
    if (!imported) {
        const std::string said = shortened(trimmed(errors));
        const std::string who = std::string(nameOf(*agent)) + " on " + address.machine();
        if (status != 0 && !keptWriting)
            return failure(notAnExport, who + " failed (exit status " + std::to_string(status) +
                                            ")" + (said.empty() ? "" : ": " + said));
        return failure(notAnExport,
                       who + " sent something other than an export; nothing was stored (" +
                           imported.error().message + ")");
    }
    auto stored = ScanFiles::storeImported(std::move(*imported), options.storeDirectory,
                                           address.machine(), options.stop);
    if (!stored) {
        if (options.stop.stop_requested()) return failure(stopped, "the remote scan was stopped");
        return failure(notStored, stored.error().message);
    }
    // Into the history as a scan here goes: older scans of the same folder there go.
    auto removed = ScanRetention::pruneAfterSave(options.storeDirectory, stored->record);
    return Summary{std::move(*stored), *agent, std::move(removed)};
}

bool isLoginRefused(const Error& error) {
    return error.domain == "RemoteScan" && error.code == loginRefused;
}

} // namespace tb::RemoteScan
