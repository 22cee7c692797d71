#include "platform/process_runner.h"

#include "platform/child_status.h"
#include "platform/file_descriptor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

extern char** environ;

namespace tb::platform {
namespace {

struct Pipe {
    FileDescriptor read, write;
    int open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
        read.reset(fds[0]);
        write.reset(fds[1]);
        return 0;
    }
};

// A tool may close its output and keep running; waiting for it must still
// answer a stop request.
bool exitedBeforeStop(pid_t pid, const std::stop_token& stop) {
    for (;;) {
        siginfo_t info{};
        const int r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || info.si_pid != 0) return true;
        if (stop.stop_requested()) return false;
        ::usleep(20'000);
    }
}

class Spawn {
public:
    Spawn() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~Spawn() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    Spawn(const Spawn&) = delete;
    Spawn& operator=(const Spawn&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
};

// Reads both pipes until each reaches its end; standard error is dropped.
// Returns false when stopped first.
bool drain(int outFd, int errFd, std::string& out, const std::stop_token& stop) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    char buffer[65536];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (stop.stop_requested()) return false;
        const int ready = ::poll(fds, 2, 100);
        if (ready < 0 && errno != EINTR) return true;
        if (ready <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                fds[i].fd = -1; // poll ignores negative descriptors
                continue;
            }
            if (i == 0) out.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return true;
}

class SystemProcessRunner final : public ProcessRunner {
public:
    Result<ProcessOutput> run(const std::string& executable,
                              const std::vector<std::string>& arguments,
                              std::stop_token stop) const override {
        Pipe out, err;
        if (int e = out.open()) return Error::posix(e, executable);
        if (int e = err.open()) return Error::posix(e, executable);

        Spawn spawn;
        posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&spawn.actions, out.write.get(), 1);
        posix_spawn_file_actions_adddup2(&spawn.actions, err.write.get(), 2);
        // The tool gets default signal handling and an empty mask, whatever
        // this process (or its toolkit) set for itself.
        sigset_t none, pipeOnly;
        sigemptyset(&none);
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        posix_spawnattr_setsigmask(&spawn.attr, &none);
        posix_spawnattr_setsigdefault(&spawn.attr, &pipeOnly);
        posix_spawnattr_setflags(&spawn.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        std::vector<char*> argv;
        argv.reserve(arguments.size() + 2);
        argv.push_back(const_cast<char*>(executable.c_str()));
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);

        pid_t pid = 0;
        // glibc reports a failed exec (a missing tool) here, not as an exit code.
        const int e = ::posix_spawn(&pid, executable.c_str(), &spawn.actions, &spawn.attr,
                                    argv.data(), environ);
        if (e != 0) return Error::posix(e, executable);
        out.write.reset();
        err.write.reset();

        ProcessOutput result;
        if (!drain(out.read.get(), err.read.get(), result.standardOutput, stop) ||
            !exitedBeforeStop(pid, stop)) {
            ::kill(pid, SIGKILL);
            waitForChild(pid);
            return Error::posix(ECANCELED, executable);
        }
        result.exitStatus = waitForChild(pid);
        return result;
    }
};

} // namespace

Result<ProcessOutput> runWithin(const ProcessRunner& runner, const std::string& executable,
                                const std::vector<std::string>& arguments,
                                std::chrono::milliseconds limit, std::stop_token stop) {
    std::stop_source expired;
    std::stop_callback forward(stop, [&expired] { expired.request_stop(); });
    // The watchdog is woken and joined as soon as the tool returns.
    std::jthread watchdog([&expired, limit](std::stop_token done) {
        std::mutex m;
        std::condition_variable_any wake;
        std::unique_lock lock(m);
        wake.wait_for(lock, done, limit, [] { return false; });
        if (!done.stop_requested()) expired.request_stop();
    });
    auto result = runner.run(executable, arguments, expired.get_token());
    watchdog.request_stop();
    return result;
}

const ProcessRunner& systemProcessRunner() {
    static const SystemProcessRunner runner;
    return runner;
}

} // namespace tb::platform
