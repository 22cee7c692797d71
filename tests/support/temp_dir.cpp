#include "support/temp_dir.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "base/background_work.h"

namespace tb::test {
namespace {

int unlockEntry(const char* path, const struct stat*, int type, FTW*) {
    if (type == FTW_D || type == FTW_DNR) ::chmod(path, 0700);
    return 0;
}

} // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tarnbeck-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    // Folders a test closed are opened first, or their contents would stay.
    ::nftw(path_.c_str(), unlockEntry, 64, FTW_PHYS);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
}

namespace {
// A session's detached work from an earlier test may still read the
// environment, and glibc's setenv can free the array it is reading.
void waitForDetachedWork() {
    BackgroundWork::waitIdle(std::chrono::seconds(20));
}
} // namespace

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    waitForDetachedWork();
    if (const char* v = std::getenv(name)) old_ = v;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    waitForDetachedWork();
    if (old_) {
        ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

TempHome::TempHome()
    : home_("HOME", dir_.path()),
      data_("XDG_DATA_HOME", dir_.path() + "/.local/share"),
      cache_("XDG_CACHE_HOME", dir_.path() + "/.cache"),
      config_("XDG_CONFIG_HOME", dir_.path() + "/.config"),
      state_("XDG_STATE_HOME", dir_.path() + "/.local/state"),
      // The machine's own desktop entries must not show up in a test.
      dataDirs_("XDG_DATA_DIRS", dir_.path() + "/.system-data") {
    makeDirs(dataHome());
}

void makeDirs(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
}

void writeFile(const std::string& path, std::string_view contents) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < contents.size()) {
        const auto n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n <= 0) break;
        done += std::size_t(n);
    }
    ::close(fd);
}

void writeSizedFile(const std::string& path, std::int64_t size, unsigned seed) {
    std::string data(std::size_t(size), '\0');
    std::uint32_t x = 2463534242u ^ (seed * 2654435761u);
    for (auto& c : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x & 0xFF);
    }
    writeFile(path, data);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> namesIn(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

void setModified(const std::string& path, std::int64_t unixSeconds, long nanoseconds) {
    timespec times[2];
    times[0].tv_sec = unixSeconds;
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

void put(const std::string& path, std::string_view contents) {
    makeDirs(path.substr(0, path.rfind('/')));
    writeFile(path, contents);
}

void putSized(const std::string& path, std::int64_t size, unsigned seed) {
    makeDirs(path.substr(0, path.rfind('/')));
    writeSizedFile(path, size, seed);
}

} // namespace tb::test
