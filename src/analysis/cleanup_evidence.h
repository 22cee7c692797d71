// What the cleanup rules read beyond the scan: the head of a file (a cache
// tag, a core file's header, a package's install record) and which files git
// tracks. Reads are bounded and git runs with a time limit, but all of it
// blocks: call it off the interface thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

namespace platform {
class ProcessRunner;
} // namespace platform

class DiskEvidence {
public:
    virtual ~DiskEvidence() = default;
    // At most `maxBytes` from the start of a regular file, never through a
    // final link; none when it cannot be read.
    virtual std::optional<std::string> head(const std::string& path,
                                            std::size_t maxBytes) const = 0;
    // The nearest folder at or above `path` that holds a ".git" entry.
    virtual std::optional<std::string> workTreeOf(const std::string& path) const = 0;
    // The files git tracks in a work tree, relative to it and sorted; none
    // when git is missing, fails or takes too long.
    virtual std::optional<std::vector<std::string>> trackedFiles(
        const std::string& workTree) const = 0;
};

// The real disk, with git at `git` run through `runner`.
class SystemDiskEvidence final : public DiskEvidence {
public:
    SystemDiskEvidence(const platform::ProcessRunner& runner, std::string git = "/usr/bin/git",
                       std::chrono::milliseconds limit = std::chrono::seconds(5));
    std::optional<std::string> head(const std::string& path, std::size_t maxBytes) const override;
    std::optional<std::string> workTreeOf(const std::string& path) const override;
    std::optional<std::vector<std::string>> trackedFiles(
        const std::string& workTree) const override;

private:
    const platform::ProcessRunner& runner_;
    std::string git_;
    std::chrono::milliseconds limit_;
};

const DiskEvidence& systemDiskEvidence();

// Whether folders or files hold anything git tracks, asking git once per
// work tree. Not thread-safe: one per task.
class TrackedPaths {
public:
    explicit TrackedPaths(const DiskEvidence& evidence, std::size_t maxWorkTrees = 64)
        : evidence_(evidence), maxWorkTrees_(maxWorkTrees) {}
    // True when `path` is a tracked file or a folder holding one; false
    // outside a work tree, and when git cannot tell (the caller's own
    // rules then decide).
    bool holdsTracked(const std::string& path);

private:
    const DiskEvidence& evidence_;
    std::size_t maxWorkTrees_;
    std::map<std::string, std::optional<std::vector<std::string>>> byWorkTree_;
};

namespace CleanupEvidence {

// The signature a CACHEDIR.TAG file begins with.
inline constexpr std::string_view cacheTagSignature = "Signature: 8a477f597d28d172789f06886806bc55";
// The text after a valid signature, on one line and cut to a sentence's
// length ("" when there is none); nothing when the signature is wrong.
std::optional<std::string> cacheTagText(std::string_view bytes);

// An ELF file whose type (at offset 16, in the file's byte order) is a core.
bool isElfCore(std::string_view head);
// "core", "core.1234" or "name.core": the names the kernel gives core files.
bool hasCoreName(std::string_view name);

// One line of a wheel's RECORD: the path relative to site-packages, and the
// size when the line gives one (else -1).
struct RecordEntry {
    std::string path;
    std::int64_t size = -1;
    bool operator==(const RecordEntry&) const = default;
};
std::vector<RecordEntry> parseRecord(std::string_view document);

// Names joined for a sentence: "a, b and c", with the rest counted past `shown`.
std::string listed(const std::vector<std::string>& names, std::size_t shown = 3);

} // namespace CleanupEvidence

} // namespace tb
