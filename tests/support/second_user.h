// Acts as "nobody" (uid 65534): the other user of the attacks the Trash
// must withstand, and a user that permissions stop where root passes. Only
// root can switch users, so callers skip with a message elsewhere.
#pragma once

#include <grp.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>

namespace tb::test {

inline bool canActAsSecondUser() {
    return ::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) == 0;
}

// `command` is passed to sh in single quotes: it must hold none itself.
inline bool runAsSecondUser(const std::string& command) {
    const std::string line =
        "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups sh -c '" + command + "'";
    return std::system(line.c_str()) == 0;
}

inline const std::string noSecondUser = "<could not act as uid 65534>";

inline const std::string outOfTime = "<ran out of time>";

// Runs `work` in a forked child and gives back the text it returned: what
// the child changes (its user, its mounts) goes with it. With a limit, a
// child that hangs is stopped and `outOfTime` comes back, so a regression
// fails in seconds rather than at the suite's timeout.
inline std::string inChild(const std::function<std::string()>& work, unsigned limitSeconds = 0) {
    int fds[2];
    if (::pipe(fds) != 0) return "<pipe failed>";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (limitSeconds) ::alarm(limitSeconds);
        const std::string out = work();
        ::_exit(::write(fds[1], out.data(), out.size()) < 0 ? 3 : 0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) return outOfTime;
    return out;
}

// As inChild, as uid 65534 when this process is root (`noSecondUser` when
// the switch failed).
inline std::string inChildAsNobody(const std::function<std::string()>& work) {
    return inChild([&] {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
             ::setresuid(65534, 65534, 65534) != 0)) {
            return noSecondUser;
        }
        return work();
    });
}

// Root as permissions stop an owner: without the two capabilities that read
// any folder, on this thread and the threads it starts while this lives.
// Capabilities are per thread (capset(2)), so a session's scan started here
// meets the folder a user could not read. `active` is false for other users.
class WithoutReadingAnyFolder {
public:
    WithoutReadingAnyFolder() : active_(::geteuid() == 0 && set(false)) {}
    ~WithoutReadingAnyFolder() {
        if (active_) set(true);
    }
    bool active() const { return active_; }

private:
    static bool set(bool on) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (::syscall(SYS_capget, &header, data) != 0) return false;
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
            __user_cap_data_struct& d = data[cap / 32];
            const unsigned bit = 1u << (cap % 32);
            d.effective = on ? d.effective | (bit & d.permitted) : d.effective & ~bit;
        }
        return ::syscall(SYS_capset, &header, data) == 0;
    }
    bool active_;
};

} // namespace tb::test
