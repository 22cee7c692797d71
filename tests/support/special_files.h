// Files that are not regular files, for checking that nothing written
// replaces them: a FIFO, a folder, a socket and, for root, a character
// device (the same as /dev/null).
#pragma once

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tb::test {

struct SpecialFile {
    std::string path;
    mode_t type; // S_IFIFO, S_IFDIR, ...
};

inline mode_t typeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

// In `dir`, one of each kind that can be made here; says on standard output
// which kind could not.
inline std::vector<SpecialFile> makeSpecialFiles(const std::string& dir) {
    std::vector<SpecialFile> made;
    if (::mkfifo((dir + "/fifo").c_str(), 0600) == 0) made.push_back({dir + "/fifo", S_IFIFO});
    if (::mkdir((dir + "/folder").c_str(), 0700) == 0) made.push_back({dir + "/folder", S_IFDIR});
    const std::string socket = dir + "/socket";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s >= 0 && socket.size() < sizeof addr.sun_path) {
        socket.copy(addr.sun_path, socket.size());
        if (::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0)
            made.push_back({socket, S_IFSOCK});
    }
    if (s >= 0) ::close(s);
    const std::string device = dir + "/null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        made.push_back({device, S_IFCHR});
    } else {
        std::printf("note: no character device to check against: mknod needs root\n");
    }
    return made;
}

} // namespace tb::test
