// The command line: what the user asked for, and the one help text that
// --help prints and the manual page is made from. Pure; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

enum class Command { window, scan, exportScan, importExport, help, version };

struct CommandLine {
    Command command = Command::window;
    std::string path;                    // the folder, scan or export named
    std::optional<std::string> output;   // -o FILE
    std::vector<std::string> exclude;    // --exclude PATTERN, in order
    bool crossMounts = false;            // --cross-mounts
    std::optional<std::string> exportTo; // scan --export FILE: ncdu JSON, not stored
    bool operator==(const CommandLine&) const = default;
};

// Exit statuses.
inline constexpr int exitOk = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitUsage = 2;

struct UsageError {
    std::string message; // names the bad argument
};

// `args` excludes the program name.
struct ParsedCommandLine {
    std::optional<CommandLine> line;
    std::optional<UsageError> error;
};
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

std::string_view versionText();
std::string helpText();
// The same text as a troff manual page, section 1.
std::string manPage();

} // namespace tb
