// How a child process ended, in the shell's spelling: its exit status, or
// 128 plus the signal that ended it; -1 when it cannot be known. Waits,
// retrying when a signal interrupts the wait.
#pragma once

#include <sys/wait.h>

#include <cerrno>

namespace tb::platform {

inline int waitForChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

} // namespace tb::platform
