// Commands on another machine through the system's OpenSSH client: the
// ssh:// address a user types, quoting for the remote shell, and a running
// `ssh` whose standard output is read as it arrives. The client is found on
// PATH and keeps its own configuration, agent and known hosts; only
// BatchMode is set, so that it never asks for a password or a host key.
// Functions on values; a RemoteCommand belongs to the thread that started it.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/result.h"
#include "platform/file_descriptor.h"

namespace tb::platform {

struct RemoteAddress {
    std::string user; // empty: as ssh's configuration says
    std::string host;
    std::optional<int> port;
    std::string path; // absolute, as given

    // "[user@]host[:port]": what a scan of this machine is marked with.
    std::string machine() const;
    // "machine:/path", as the history shows a scan of another machine.
    std::string shown() const;
};

// Whether `text` is meant as an ssh:// address rather than a local path.
bool isRemoteAddress(std::string_view text);

// Parses "ssh://[user@]host[:port]/path". The host may be an IPv6 address
// in brackets. Refused (domain "RemoteShell", code 1): a host or user that
// ssh would take for an option (a leading "-"), blanks or control bytes in
// them, a port outside 1-65535, and a missing or relative path.
Result<RemoteAddress> parseRemoteAddress(std::string_view text);

// `word` as one argument for a POSIX shell: in single quotes, each embedded
// quote written as '\''.
std::string shellQuoted(std::string_view word);

// The arguments after "ssh" that run `command` (already quoted for the
// remote shell) on `address`'s machine.
std::vector<std::string> sshArguments(const RemoteAddress& address, const std::string& command);

// A started `ssh`: its standard output is a pipe the caller reads; its
// standard error is collected (the first 64 KiB) for the message when it
// fails. Destroying it kills and reaps the client if still running.
class RemoteCommand {
public:
    // Runs `program` (looked up on PATH) with `arguments`, standard input
    // from /dev/null. A stop request kills the client, which closes the pipe.
    static Result<RemoteCommand> start(const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       std::stop_token stop = {});
    RemoteCommand(RemoteCommand&&) noexcept;
    RemoteCommand& operator=(RemoteCommand&&) = delete;
    ~RemoteCommand();

    // The read end of the client's standard output, handed over once.
    FileDescriptor takeOutput();
    // Ends the client now (SIGKILL); wait() still reaps it.
    void kill();
    // Waits for the client to exit: its exit code, or 128 + signal.
    int wait();
    // What it wrote on standard error, once it has exited.
    std::string errors() const;

private:
    RemoteCommand() = default;
    struct State;
    std::unique_ptr<State> state_;
};

// ssh's exit status for its own failures (connection, authentication, host key).
inline constexpr int kSshFailure = 255;

} // namespace tb::platform
