// Runs a shell command as "nobody" (uid 65534), the other user of the
// attacks the Trash must withstand. Only root can switch users, so callers
// skip with a message elsewhere.
#pragma once

#include <unistd.h>

#include <cstdlib>
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

} // namespace tb::test
