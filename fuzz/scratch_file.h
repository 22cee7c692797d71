// Readers that take a path get the fuzz input through one private file,
// rewritten for every input, in a folder of this process's own.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace tb::fuzz {

inline std::string& scratchPath() {
    static std::string folder;
    return folder;
}

// The folder holds only what the readers made of our inputs (SQLite's side
// files among them).
inline void removeScratch() {
    const std::string& folder = scratchPath();
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") ::unlink((folder + "/" + name).c_str());
        }
        ::closedir(d);
    }
    ::rmdir(folder.c_str());
}

inline const std::string& scratchFolder() {
    static const bool made = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string t = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/tarnbeck-fuzz-XXXXXX";
        if (::mkdtemp(t.data()) == nullptr) std::abort();
        scratchPath() = t;
        std::atexit(removeScratch);
        return true;
    }();
    (void)made;
    return scratchPath();
}

// Replaces `name` in the scratch folder with the input; the path, or "" when
// the write failed.
inline std::string scratchFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = scratchFolder() + "/" + name;
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return {};
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += std::size_t(n);
    }
    ::close(fd);
    return done == size ? path : std::string();
}

} // namespace tb::fuzz
