#include "app/headless_commands.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stop_token>
#include <thread>

#include "base/byte_format.h"
#include "base/terminal_text.h"
#include "base/count_text.h"
#include "interchange/ncdu_json.h"
#include "interchange/remote_scan.h"
#include "interchange/scan_files.h"
#include "platform/file_descriptor.h"
#include "platform/output_file.h"
#include "scan/directory_walker.h"
#include "store/scan_retention.h"
#include "store/scan_store.h"

namespace tb {
namespace {

// Messages quote names from the disk or from an export: escaped, no byte of
// theirs can drive the terminal or end the message early.
void complain(const std::string& message) {
    std::fprintf(stderr, "tarnbeck: %s\n", TerminalText::escaped(message).c_str());
}

std::string describeSize(std::int64_t bytes) {
    return std::to_string(bytes) + " bytes (" + ByteFormat::string(bytes) + ")";
}

// Ctrl+C, SIGTERM and SIGHUP are taken by one thread with sigwait, so the
// walk's workers never see them and the stop is an ordinary stop request.
// Construct before any other thread starts: the mask is inherited.
class StopOnSignal {
public:
    StopOnSignal() {
        sigemptyset(&set_);
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&set_, s);
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
        waiter_ = std::jthread([this](std::stop_token done) {
            const timespec tick{0, 100'000'000};
            while (!done.stop_requested()) {
                if (sigtimedwait(&set_, nullptr, &tick) > 0) {
                    interrupted_ = true;
                    source_.request_stop();
                }
            }
        });
    }
    ~StopOnSignal() {
        waiter_.request_stop();
        waiter_.join();
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    std::stop_token token() const { return source_.get_token(); }
    bool interrupted() const { return interrupted_; }

private:
    sigset_t set_{};
    sigset_t previous_{};
    std::stop_source source_;
    std::atomic<bool> interrupted_{false};
    std::jthread waiter_;
};

// One line on standard error, redrawn in place; only on a terminal.
class ProgressLine {
public:
    ProgressLine() : active_(::isatty(STDERR_FILENO) == 1) {}

    void show(const WalkProgress& p) {
        if (!active_) return;
        std::string text = CountText::of(p.visited, "entry", "entries") + ", " +
                           ByteFormat::string(p.scannedBytes) + ", ";
        std::string path;
        for (unsigned char c : p.currentPath)
            path += (c < 0x20 || c == 0x7f) ? '?' : char(c);
        const std::size_t width = columns();
        if (text.size() + path.size() + 1 > width) {
            const std::size_t room = width > text.size() + 4 ? width - text.size() - 4 : 0;
            path = "…" + (path.size() > room ? path.substr(path.size() - room) : path);
        }
        std::lock_guard lock(mutex_);
        std::fprintf(stderr, "\r\033[K%s%s", text.c_str(), path.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        if (shown_) std::fputs("\r\033[K", stderr);
        shown_ = false;
    }

private:
    static std::size_t columns() {
        winsize ws{};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) return ws.ws_col;
        return 80;
    }
    const bool active_;
    std::mutex mutex_;
    bool shown_ = false;
};

std::optional<std::string> realDirectory(const std::string& path, std::string& problem) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        problem = "cannot scan '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) {
        problem = "cannot scan '" + path + "': not a folder";
        return std::nullopt;
    }
    return std::string(resolved);
}

// A script reads the stored file's path from standard output; when that
// cannot be written the file is still there, so standard error says where.
bool printStoredPath(const std::string& path) {
    std::printf("%s\n", path.c_str());
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    complain("cannot write to standard output (" + std::string(std::strerror(errno ? errno : EIO)) +
             "); the scan is stored in " + path);
    return false;
}

bool writesToStandardOutput(const CommandLine& line) {
    return line.output && *line.output == "-";
}

// Past stdio's buffer, so that a failed write shows at once, with its errno.
bool writeStandardOutput(std::string_view piece) {
    return bool(platform::writeAll(STDOUT_FILENO, piece));
}

int streamToStandardOutput(const ScanForest& forest, const std::string& root,
                           const StopOnSignal& signals) {
    std::fflush(stdout);
    if (Status s = ScanFiles::streamScan(forest, root, writeStandardOutput); !s) {
        complain(s.error().message);
        return exitFailure;
    }
    if (signals.interrupted()) {
        complain("scan stopped while it was written out; do not use the output");
        return exitFailure;
    }
    return exitOk;
}

int storeScan(const ScanForest& forest, const std::string& root,
              const std::optional<std::string>& file, const StopOnSignal& signals) {
    auto record = ScanFiles::saveAtomically(forest, root, ScanStore::directory(), file);
    if (!record) {
        complain(record.error().message);
        return exitFailure;
    }
    if (signals.interrupted()) {
        ::unlink(record->fileURL.c_str());
        complain("scan stopped; nothing was written");
        return exitFailure;
    }
    // Into the history as the window saves: older scans of the root go.
    if (!file) ScanRetention::pruneAfterSave(ScanStore::directory(), *record);
    return printStoredPath(record->fileURL) ? exitOk : exitFailure;
}

// The walk's export, written as it is made; nothing is stored. With "-",
// standard output, which is what a scan from another machine reads.
int exportWalk(const ScanForest& forest, const std::string& target) {
    NcduJson::WriteOptions options;
    options.progver = std::string(versionText());
    options.links = &forest.links();
    if (target == "-") {
        if (!NcduJson::write(*forest.root(), writeStandardOutput, options)) {
            complain("cannot write the export to standard output: " +
                     std::string(std::strerror(errno ? errno : EIO)));
            return exitFailure;
        }
        return exitOk;
    }
    auto out = platform::OutputFile::create(target, {.mode = 0644});
    if (!out) {
        complain(out.error().message);
        return exitFailure;
    }
    Status written = okStatus();
    const bool complete = NcduJson::write(
        *forest.root(),
        [&](std::string_view piece) {
            written = out->write(piece);
            return bool(written);
        },
        options);
    if (complete) written = out->publish();
    if (!written) {
        complain(written.error().message);
        return exitFailure;
    }
    return exitOk;
}

int runRemoteScan(const CommandLine& line) {
    auto address = platform::parseRemoteAddress(line.path);
    if (!address) {
        complain(address.error().message);
        return exitUsage;
    }
    StopOnSignal signals;
    const bool onTerminal = ::isatty(STDERR_FILENO) == 1;
    RemoteScan::Options options;
    options.storeDirectory = ScanStore::directory();
    options.stop = signals.token();
    options.progress = [onTerminal](std::int64_t entries) {
        if (!onTerminal) return;
        std::fprintf(stderr, "\r\033[K%s so far",
                     CountText::of(entries, "entry", "entries").c_str());
        std::fflush(stderr);
    };
    auto summary = RemoteScan::scan(*address, options);
    if (onTerminal) std::fputs("\r\033[K", stderr);
    if (signals.interrupted()) {
        if (summary) ::unlink(summary->imported.record.fileURL.c_str());
        complain("scan stopped; nothing was written");
        return exitFailure;
    }
    if (!summary) {
        complain(summary.error().message);
        return exitFailure;
    }
    const ScanFiles::ImportSummary& s = summary->imported;
    if (!printStoredPath(s.record.fileURL)) return exitFailure;
    const std::int64_t total = s.record.scannedBytes;
    std::fprintf(stderr, "%s by %s on %s, %s on disk",
                 CountText::of(s.entries, "entry", "entries").c_str(),
                 std::string(RemoteScan::nameOf(summary->agent)).c_str(),
                 TerminalText::escaped(address->machine()).c_str(), describeSize(total).c_str());
    if (s.folderBlocks > 0) {
        std::fprintf(stderr, "; without the folders' own blocks (%s): %s",
                     ByteFormat::string(s.folderBlocks).c_str(),
                     describeSize(total - s.folderBlocks).c_str());
    }
    std::fputs("\n", stderr);
    return exitOk;
}

int runScan(const CommandLine& line) {
    if (platform::isRemoteAddress(line.path)) return runRemoteScan(line);
    const bool toStandardOutput = writesToStandardOutput(line);
    if (toStandardOutput && ::isatty(STDOUT_FILENO) == 1) {
        complain("a scan file is binary: redirect standard output, or name a file with -o");
        return exitUsage;
    }
    std::string problem;
    const auto root = realDirectory(line.path, problem);
    if (!root) {
        complain(problem);
        return exitFailure;
    }
    // Refused before the walk rather than after minutes of it.
    const std::optional<std::string>& file = line.exportTo ? line.exportTo : line.output;
    if (file && *file != "-") {
        if (auto target = platform::checkTarget(*file); !target) {
            complain(target.error().message);
            return exitFailure;
        }
    }
    StopOnSignal signals;
    ProgressLine progress;
    DirectoryWalker::Options options;
    std::vector<std::string> patterns = ExcludeRules::snapshotPatterns();
    patterns.insert(patterns.end(), line.exclude.begin(), line.exclude.end());
    options.exclude = ExcludeRules(patterns);
    options.crossMounts = line.crossMounts;
    ScanForest forest = DirectoryWalker::walk(
        *root, [&progress](const WalkProgress& p) { progress.show(p); }, signals.token(), options);
    progress.clear();
    if (signals.interrupted()) {
        complain("scan stopped; nothing was written");
        return exitFailure;
    }
    if (line.exportTo) {
        const int exported = exportWalk(forest, *line.exportTo);
        if (exported == exitOk && signals.interrupted()) {
            complain("scan stopped while it was written out; do not use the output");
            return exitFailure;
        }
        return exported;
    }
    const int status = toStandardOutput ? streamToStandardOutput(forest, *root, signals)
                                        : storeScan(forest, *root, line.output, signals);
    if (status == exitOk) {
        std::fprintf(stderr, "%s, %s on disk, %s\n",
                     CountText::of(std::int64_t(forest.nodes().size()), "entry", "entries").c_str(),
                     describeSize(forest.root()->allocatedSize()).c_str(),
                     CountText::of(forest.unreadable(), "unreadable folder").c_str());
    }
    return status;
}

int exportToStandardOutput(const std::string& scanFile) {
    const auto sink = [](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
    };
    if (Status s = ScanFiles::exportScan(scanFile, sink, std::string(versionText())); !s) {
        complain(s.error().message);
        return exitFailure;
    }
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        complain("cannot write the export to standard output: " +
                 std::string(std::strerror(errno ? errno : EIO)));
        return exitFailure;
    }
    return exitOk;
}

int runExport(const CommandLine& line) {
    if (!line.output || writesToStandardOutput(line)) return exportToStandardOutput(line.path);
    // Readable by others, like any document a command writes; the umask rules.
    auto out = platform::OutputFile::create(*line.output, {.mode = 0644});
    if (!out) {
        complain(out.error().message);
        return exitFailure;
    }
    Status written = okStatus();
    const auto sink = [&](std::string_view piece) {
        written = out->write(piece);
        return bool(written);
    };
    Status status = ScanFiles::exportScan(line.path, sink, std::string(versionText()));
    if (status) status = out->publish();
    if (!status) {
        complain(written ? status.error().message : written.error().message);
        return exitFailure;
    }
    return exitOk;
}

int runImport(const CommandLine& line) {
    StopOnSignal signals;
    auto summary = ScanFiles::importExport(line.path, ScanStore::directory(), signals.token());
    if (signals.interrupted()) {
        if (summary) ::unlink(summary->record.fileURL.c_str());
        complain("import stopped; nothing was written");
        return exitFailure;
    }
    if (!summary) {
        complain(summary.error().message);
        return exitFailure;
    }
    const std::int64_t total = summary->record.scannedBytes;
    if (!printStoredPath(summary->record.fileURL)) return exitFailure;
    std::fprintf(stderr,
                 "%s, %s on disk; without the folders' own blocks (%s), which "
                 "Tarnbeck's own scans leave out: %s\n",
                 CountText::of(summary->entries, "entry", "entries").c_str(),
                 describeSize(total).c_str(), ByteFormat::string(summary->folderBlocks).c_str(),
                 describeSize(total - summary->folderBlocks).c_str());
    return exitOk;
}

} // namespace

int runHeadless(const CommandLine& line) {
    switch (line.command) {
    case Command::scan: return runScan(line);
    case Command::exportScan: return runExport(line);
    case Command::importExport: return runImport(line);
    case Command::help: std::fputs(helpText().c_str(), stdout); return exitOk;
    case Command::version: std::printf("tarnbeck %s\n", versionText().data()); return exitOk;
    case Command::window: break;
    }
    return exitUsage;
}

} // namespace tb
