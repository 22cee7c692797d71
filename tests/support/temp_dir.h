// Temporary folders and environment for tests that touch the disk. Every test
// that scans, stores or trashes works below one of these, never in the real
// home.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string operator/(std::string_view relative) const;

private:
    std::string path_;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A temporary HOME with every XDG base directory below it, system data
// folders included.
class TempHome {
public:
    TempHome();
    const std::string& home() const { return dir_.path(); }
    std::string dataHome() const { return dir_ / ".local/share"; }

private:
    TempDir dir_;
    ScopedEnv home_;
    ScopedEnv data_;
    ScopedEnv cache_;
    ScopedEnv config_;
    ScopedEnv state_;
    ScopedEnv dataDirs_;
};

void makeDirs(const std::string& path);
void writeFile(const std::string& path, std::string_view contents);
// A file of `size` bytes of a repeating pattern seeded by `seed`.
void writeSizedFile(const std::string& path, std::int64_t size, unsigned seed = 0);
std::string readFile(const std::string& path);
bool exists(const std::string& path);     // lstat succeeds
unsigned modeOf(const std::string& path); // permission bits by lstat, 0 if missing
// The names in a folder, sorted; none when it cannot be read.
std::vector<std::string> namesIn(const std::string& dir);
void setModified(const std::string& path, std::int64_t unixSeconds, long nanoseconds = 0);
// writeFile and writeSizedFile with the missing folders made first.
void put(const std::string& path, std::string_view contents);
void putSized(const std::string& path, std::int64_t size, unsigned seed = 0);

} // namespace tb::test
