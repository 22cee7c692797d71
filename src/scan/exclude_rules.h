// What a walk leaves out: folders and files named by glob patterns, and the
// mounts it does not enter. Plain values, free to pass between threads.
//
// A pattern without a slash is matched against names at any depth
// ("node_modules", "*.iso"); one that starts with a slash against the path
// below the scan root ("/proc"); any other one against the end of that path
// ("**/.git", "timeshift/snapshots"). "*" and "?" stay within one name, "**"
// crosses folders, "[a-z]" and "[!a-z]" are classes, "\" quotes the next
// character, and a trailing slash restricts the pattern to folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

enum class LeftOutKind : std::uint8_t { none = 0, excluded = 1, snapshots = 2, mount = 3 };
std::string_view rawValue(LeftOutKind kind);
std::optional<LeftOutKind> leftOutKind(std::string_view raw);

// One item a scan did not walk, by absolute path.
struct LeftOut {
    std::string path;
    LeftOutKind kind = LeftOutKind::excluded;
    bool operator==(const LeftOut&) const = default;
};

// The whole of `text` against a glob, as the header describes.
bool globMatches(std::string_view pattern, std::string_view text);

class ExcludeRules {
public:
    ExcludeRules() = default;
    // Blank patterns are dropped; surrounding spaces are not part of a pattern.
    explicit ExcludeRules(const std::vector<std::string>& patterns);

    // The snapshot trees of Snapper and Timeshift: on btrfs they are folders
    // of the same file system, and walking them counts every snapshot in full.
    static std::vector<std::string> snapshotPatterns();
    static bool isSnapshotPattern(std::string_view pattern);

    const std::vector<std::string>& patterns() const { return patterns_; }
    bool empty() const { return rules_.empty(); }

    // `relative` is the item's path below the root, without a leading slash;
    // its last component is the item's name. The root itself is never left out.
    LeftOutKind match(std::string_view relative, bool isDirectory) const;

private:
    struct Rule {
        std::string body;               // without the leading and trailing slash
        std::string lastPart;           // the body's last component, matched against the name first
        bool lastPartIsLiteral = false; // no wildcard: a plain comparison will do
        bool anchored = false;
        bool onName = false; // no slash in the body
        bool directoriesOnly = false;
        LeftOutKind kind = LeftOutKind::excluded;
    };
    std::vector<std::string> patterns_;
    std::vector<Rule> rules_;
};

} // namespace tb
