#include "platform/remote_shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <mutex>

#include "platform/child_status.h"

extern char** environ;

namespace tb::platform {
namespace {

constexpr std::size_t kErrorBytes = 64 << 10;

Error refused(std::string message) {
    return Error{"RemoteShell", 1, std::move(message)};
}

bool hasBlankOrControl(std::string_view s) {
    for (unsigned char c : s)
        if (c <= 0x20 || c == 0x7f) return true;
    return false;
}

// A user or host ssh would read as an option, or that its configuration
// tokens would split, is refused rather than passed on.
std::optional<Error> checkName(std::string_view name, std::string_view what) {
    if (name.empty()) return refused("the address names no " + std::string(what));
    if (name.front() == '-')
        return refused("a " + std::string(what) +
                       " beginning with '-' is refused: " + std::string(name));
    if (hasBlankOrControl(name) || name.find_first_of("'\"\\`$;&|<>@/") != std::string_view::npos)
        return refused("the " + std::string(what) + " '" + std::string(name) +
                       "' holds characters no " + std::string(what) + " name has");
    return std::nullopt;
}

} // namespace

std::string RemoteAddress::machine() const {
    std::string m = user.empty() ? "" : user + "@";
    m += host.find(':') == std::string::npos ? host : "[" + host + "]";
    if (port) m += ":" + std::to_string(*port);
    return m;
}

std::string RemoteAddress::shown() const {
    return machine() + ":" + path;
}

bool isRemoteAddress(std::string_view text) {
    return text.starts_with("ssh://");
}

Result<RemoteAddress> parseRemoteAddress(std::string_view text) {
    if (!isRemoteAddress(text)) return refused("not an ssh:// address: " + std::string(text));
    std::string_view rest = text.substr(6);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return refused("the address names no folder: add one, as in ssh://host/path");
    std::string_view authority = rest.substr(0, slash);
    RemoteAddress a;
    a.path = std::string(rest.substr(slash));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        a.user = std::string(authority.substr(0, at));
        if (auto e = checkName(a.user, "user")) return *e;
        authority = authority.substr(at + 1);
    }
    std::string_view portText;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return refused("an unclosed '[' in the address");
        a.host = std::string(authority.substr(1, close - 1));
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':')
            return refused("unexpected text after the host: " + std::string(after));
        if (!after.empty()) portText = after.substr(1);
        if (a.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos ||
            a.host.empty())
            return refused("'" + a.host + "' is no IPv6 address");
    } else {
        const std::size_t colon = authority.find(':');
        a.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) portText = authority.substr(colon + 1);
        if (auto e = checkName(a.host, "host")) return *e;
        if (a.host.find_first_of(":[]") != std::string::npos)
            return refused("the host '" + a.host + "' holds characters no host name has");
    }
    if (!portText.empty() || authority.ends_with(':')) {
        int port = 0;
        for (char c : portText) {
            if (c < '0' || c > '9' || port > 65535) {
                port = 0;
                break;
            }
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535)
            return refused("the port '" + std::string(portText) +
                           "' is not a number from 1 to 65535");
        a.port = port;
    }
    if (a.path.find('\0') != std::string::npos) return refused("the folder's name holds a NUL");
    return a;
}

std::string shellQuoted(std::string_view word) {
    std::string out = "'";
    for (char c : word) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

std::vector<std::string> sshArguments(const RemoteAddress& address, const std::string& command) {
    std::vector<std::string> args = {"-o", "BatchMode=yes"};
    if (address.port) {
        args.push_back("-p");
        args.push_back(std::to_string(*address.port));
    }
    // Checked names only, and "--" after them: nothing here is an option.
    args.push_back(address.user.empty() ? address.host : address.user + "@" + address.host);
    args.push_back("--");
    args.push_back(command);
    return args;
}

struct RemoteCommand::State {
    std::mutex mutex;
    pid_t pid = -1; // guarded by mutex; -1 once reaped, so a kill never hits a reused pid
    int exitStatus = -1;
    FileDescriptor output;
    std::string errors; // written by the drainer until it is joined
    std::jthread drainer;
    std::optional<std::stop_callback<std::function<void()>>> onStop;

    void kill() {
        std::lock_guard lock(mutex);
        if (pid > 0) ::kill(pid, SIGKILL);
    }
    int reap() {
        pid_t p;
        {
            std::lock_guard lock(mutex);
            p = pid;
        }
        if (p <= 0) return exitStatus;
        const int status = waitForChild(p);
        {
            std::lock_guard lock(mutex);
            pid = -1;
            exitStatus = status;
        }
        if (drainer.joinable()) drainer.join();
        return status;
    }
};

Result<RemoteCommand> RemoteCommand::start(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           std::stop_token stop) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return Error::posix(errno, program);
    FileDescriptor outRead(out[0]), outWrite(out[1]);
    if (::pipe2(err, O_CLOEXEC) != 0) return Error::posix(errno, program);
    FileDescriptor errRead(err[0]), errWrite(err[1]);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), 2);
    // Default signals and an empty mask, whatever this process blocked for
    // its own signal thread; the client then dies with a Ctrl+C as we do.
    sigset_t none, pipeOnly;
    sigemptyset(&none);
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &pipeOnly);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int e = ::posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (e != 0) return Error::posix(e, "cannot run " + program);
    outWrite.reset();
    errWrite.reset();

    RemoteCommand command;
    command.state_ = std::make_unique<State>();
    State& s = *command.state_;
    s.pid = pid;
    s.output = std::move(outRead);
    s.drainer = std::jthread([&s, fd = std::move(errRead)] {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            const std::size_t room = kErrorBytes - std::min(kErrorBytes, s.errors.size());
            s.errors.append(buffer, std::min(room, std::size_t(n)));
        }
    });
    s.onStop.emplace(stop, std::function<void()>([&s] { s.kill(); }));
    return command;
}

RemoteCommand::RemoteCommand(RemoteCommand&&) noexcept = default;

RemoteCommand::~RemoteCommand() {
    if (!state_) return;
    state_->onStop.reset();
    state_->output.reset();
    state_->kill();
    state_->reap();
}

FileDescriptor RemoteCommand::takeOutput() {
    return std::move(state_->output);
}

void RemoteCommand::kill() {
    state_->kill();
}

int RemoteCommand::wait() {
    return state_->reap();
}

std::string RemoteCommand::errors() const {
    return state_->errors;
}

} // namespace tb::platform
