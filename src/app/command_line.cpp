#include "app/command_line.h"

#include <array>

namespace tb {
namespace {

struct HelpEntry {
    std::string_view term;
    std::string_view text;
};

struct HelpSection {
    std::string_view title;
    std::vector<HelpEntry> entries;
};

constexpr std::array<std::string_view, 7> kUsage = {
    "tarnbeck [PATH]",
    "tarnbeck scan PATH [-o FILE] [--exclude PATTERN]... [--cross-mounts]",
    "tarnbeck scan --export FILE PATH [--exclude PATTERN]... [--cross-mounts]",
    "tarnbeck scan ssh://[USER@]HOST[:PORT]/PATH",
    "tarnbeck export SCAN [-o FILE]",
    "tarnbeck import FILE",
    "tarnbeck --help | --version",
};

constexpr std::string_view kSummary =
    "Tarnbeck shows what fills a disk, and helps to free space safely: nothing is removed "
    "until you confirm, and then only moved to the Trash.";

const std::vector<HelpSection>& sections() {
    static const std::vector<HelpSection> all = {
        {"Commands",
         {{"(none) [PATH]",
           "Open the window. A folder PATH is scanned at once; a scan file (.sqlite) or an "
           "ncdu-format export (.json, also gzip-compressed) is opened as a scan."},
          {"scan PATH",
           "Scan the folder PATH without a display and store the scan in the history, or "
           "write it to FILE with -o. Stored in the history, it replaces the folder's scans "
           "beyond the number kept (Settings; 5 unless changed), pinned ones excepted. On a "
           "terminal the progress is shown on standard error. "
           "Ctrl+C stops the scan and leaves no file behind. Prints the scan file's path; "
           "with -o - the scan file itself goes to standard output, which must not be a "
           "terminal."},
          {"scan ssh://[USER@]HOST[:PORT]/PATH",
           "Scan the folder PATH on another machine and store the scan in the history, "
           "marked with the machine. The system's ssh connects (its configuration, agent and "
           "known hosts apply; it never asks for a password), and the first of tarnbeck, "
           "ncdu and gdu found there writes the export that is stored as it arrives. On a "
           "terminal the entries so far are shown. Nothing of another machine is ever moved "
           "to the Trash."},
          {"export SCAN",
           "Write the scan file SCAN as an ncdu-format JSON export (format 1.2) to standard "
           "output, or to FILE with -o."},
          {"import FILE",
           "Store an ncdu-format export (from ncdu -o, gdu -o, dua or tarnbeck export; plain "
           "or gzip; - for standard input) as a scan in the history. Sizes are kept as the "
           "export has them, so a folder's own blocks count in its total."}}},
        {"Options",
         {{"-o, --output FILE",
           "Where scan and export write; - is standard output. FILE appears only when "
           "complete. An existing FILE is replaced only if it is a regular file or a "
           "symbolic link (the link, not what it points to); a device, FIFO, socket or "
           "folder is left alone and the command fails."},
          {"--export FILE",
           "With scan: write the scan as an ncdu-format JSON export to FILE (- for standard "
           "output) instead of storing it. This is what a scan from another machine runs "
           "there."},
          {"--exclude PATTERN",
           "Leave out of the scan what PATTERN names; repeatable. A pattern without a slash "
           "matches names at any depth (node_modules, *.iso), one starting with / a path "
           "below PATH (/proc), any other the end of a path (**/.git); a trailing / "
           "matches folders only. The snapshot folders of Snapper and Timeshift "
           "(/.snapshots, timeshift/snapshots, timeshift-btrfs/snapshots) are always left "
           "out. What was left out is recorded in the scan."},
          {"--cross-mounts",
           "Walk into other local file systems mounted below PATH. Network and FUSE file "
           "systems are never entered by a scan from the command line."},
          {"-h, --help", "Show this help and exit."},
          {"-V, --version", "Show the version and exit."}}},
        {"Exit status",
         {{"0", "Success."},
          {"1",
           "Failure, a scan stopped by Ctrl+C, or standard output that cannot be written "
           "(a stored scan stays, and standard error names it)."},
          {"2", "Bad usage."}}},
        {"Files",
         {{"$XDG_DATA_HOME/Tarnbeck/scans",
           "The stored scans, one SQLite file each (~/.local/share when unset), and "
           ".tarnbeck-retention: how many scans of each folder are kept, and the pinned ones."},
          {"$XDG_CONFIG_HOME/Tarnbeck/Tarnbeck.conf",
           "The window's remembered state (~/.config when unset)."}}},
    };
    return all;
}

// Fills `width` columns, indenting continuation lines by `indent`.
void appendWrapped(std::string& out, std::string_view text, std::size_t indent, std::size_t column,
                   std::size_t width) {
    std::size_t col = column;
    bool first = true;
    while (!text.empty()) {
        const auto space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view{} : text.substr(space + 1);
        if (!first && col + 1 + word.size() > width) {
            out += '\n';
            out.append(indent, ' ');
            col = indent;
        } else if (!first) {
            out += ' ';
            ++col;
        }
        out += word;
        col += word.size();
        first = false;
    }
    out += '\n';
}

std::string upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return u;
}

// troff treats a leading "." or "'" as a request and "\" as an escape.
std::string troff(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

bool takesValue(std::string_view arg) {
    return arg == "-o" || arg == "--output";
}

std::optional<Command> commandNamed(std::string_view word) {
    if (word == "scan") return Command::scan;
    if (word == "export") return Command::exportScan;
    if (word == "import") return Command::importExport;
    return std::nullopt;
}

} // namespace

std::string_view versionText() {
    return TARNBECK_VERSION;
}

std::string helpText() {
    constexpr std::size_t kWidth = 79;
    constexpr std::size_t kTermColumn = 24;
    std::string out;
    for (std::size_t i = 0; i < kUsage.size(); ++i) {
        out += i == 0 ? "Usage: " : "       ";
        out += kUsage[i];
        out += '\n';
    }
    out += '\n';
    appendWrapped(out, kSummary, 0, 0, kWidth);
    for (const auto& section : sections()) {
        out += '\n';
        out += section.title;
        out += ":\n";
        for (const auto& e : section.entries) {
            out += "  ";
            out += e.term;
            std::size_t col = 2 + e.term.size();
            if (col + 2 > kTermColumn) {
                out += '\n';
                col = 0;
            }
            out.append(kTermColumn - col, ' ');
            appendWrapped(out, e.text, kTermColumn, kTermColumn, kWidth);
        }
    }
    return out;
}

std::string manPage() {
    std::string out = ".TH TARNBECK 1 \"\" \"Tarnbeck " + std::string(versionText()) +
                      "\" \"User Commands\"\n.SH NAME\ntarnbeck \\- disk space analyser\n"
                      ".SH SYNOPSIS\n";
    for (std::size_t i = 0; i < kUsage.size(); ++i) {
        if (i > 0) out += ".br\n";
        out += troff(kUsage[i]) + "\n";
    }
    out += ".SH DESCRIPTION\n" + troff(kSummary) + "\n";
    for (const auto& section : sections()) {
        out += ".SH " + upper(section.title) + "\n";
        for (const auto& e : section.entries) {
            out += ".TP\n.B " + troff(e.term) + "\n" + troff(e.text) + "\n";
        }
    }
    return out;
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    auto usage = [](std::string message) {
        return ParsedCommandLine{std::nullopt, UsageError{std::move(message)}};
    };
    CommandLine line;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    bool firstIsLiteral = false; // "tarnbeck -- scan" opens a folder named scan
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            if (operands.empty()) firstIsLiteral = optionsEnded;
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            return {CommandLine{Command::help, {}, {}}, std::nullopt};
        } else if (arg == "-V" || arg == "--version") {
            return {CommandLine{Command::version, {}, {}}, std::nullopt};
        } else if (takesValue(arg)) {
            if (i + 1 >= args.size()) return usage("option '" + arg + "' needs a file name");
            if (line.output) return usage("option '" + arg + "' is given twice");
            line.output = args[++i];
        } else if (arg == "--exclude") {
            if (i + 1 >= args.size()) return usage("option '--exclude' needs a pattern");
            line.exclude.push_back(args[++i]);
        } else if (arg.rfind("--exclude=", 0) == 0) {
            line.exclude.push_back(arg.substr(10));
        } else if (arg == "--export" || arg.rfind("--export=", 0) == 0) {
            if (line.exportTo) return usage("option '--export' is given twice");
            if (arg == "--export") {
                if (i + 1 >= args.size()) return usage("option '--export' needs a file name");
                line.exportTo = args[++i];
            } else {
                line.exportTo = arg.substr(9);
            }
            if (line.exportTo->empty()) return usage("option '--export' needs a file name");
        } else if (arg == "--cross-mounts") {
            line.crossMounts = true;
        } else if (arg.rfind("--output=", 0) == 0) {
            if (line.output) return usage("option '--output' is given twice");
            line.output = arg.substr(9);
        } else {
            return usage("unknown option '" + arg + "'");
        }
    }
    if (line.output && line.output->empty()) return usage("option '-o' needs a file name");

    std::size_t next = 0;
    if (!operands.empty() && !firstIsLiteral) {
        if (auto c = commandNamed(operands[0])) {
            line.command = *c;
            next = 1;
        }
    }
    const bool needsPath = line.command != Command::window;
    if (next < operands.size()) {
        line.path = operands[next++];
        if (line.path.empty()) return usage("an empty path");
    } else if (needsPath) {
        static constexpr std::array<std::string_view, 3> what = {
            "a folder to scan", "a scan file to export", "an export file to import"};
        return usage("'" + operands[0] + "' needs " +
                     std::string(what[std::size_t(line.command) - 1]));
    }
    if (next < operands.size()) return usage("unexpected argument '" + operands[next] + "'");
    if (line.output && line.command != Command::scan && line.command != Command::exportScan)
        return usage("option '-o' only applies to scan and export");
    if ((!line.exclude.empty() || line.crossMounts) && line.command != Command::scan)
        return usage("options '--exclude' and '--cross-mounts' only apply to scan");
    if (line.exportTo && line.command != Command::scan)
        return usage("option '--export' only applies to scan");
    if (line.exportTo && line.output)
        return usage("options '-o' and '--export' cannot be given together");
    if (line.command == Command::scan && line.path.starts_with("ssh://") &&
        (line.output || line.exportTo || !line.exclude.empty() || line.crossMounts))
        return usage("a scan of another machine takes no options; the scanner there decides");
    for (const std::string& p : line.exclude) {
        if (p.empty()) return usage("option '--exclude' needs a pattern");
    }
    if (line.command == Command::window && line.path == "-")
        return usage("the window cannot read standard input; use 'tarnbeck import -'");
    return {line, std::nullopt};
}

} // namespace tb
