#include "app/headless_commands.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "interchange/remote_scan.h"
#include "platform/file_descriptor.h"
#include "support/tree_builder.h"
#include "store/scan_retention.h"
#include "store/scan_store.h"
#include "support/second_user.h"
#include "support/special_files.h"
#include "support/ssh_server.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

// A scan file and its export of a small tree, in `dir`.
void makeScanAndExport(const test::TempDir& dir) {
    test::put(dir / "tree/sub/f", "0123456789");
    ASSERT_EQ(runHeadless({Command::scan, dir / "tree", dir / "s.sqlite"}), exitOk);
    ASSERT_EQ(runHeadless({Command::exportScan, dir / "s.sqlite", dir / "s.json"}), exitOk);
    EXPECT_EQ(ScanStore::record(dir / "s.sqlite")->rootPath, dir / "tree");
    EXPECT_EQ(test::readFile(dir / "s.json").rfind("[1,2,{\"progname\":\"tarnbeck\"", 0), 0u);
}

class HeadlessCommands : public ::testing::Test {
protected:
    test::TempHome home;
    test::TempDir dir;
};

TEST_F(HeadlessCommands, StoringAScanKeepsTheFoldersLastScansAsTheWindowDoes) {
    test::put(dir / "tree/f", "data");
    test::put(dir / "other/g", "data");
    ASSERT_TRUE(ScanRetention::write(ScanStore::directory(), RetentionPolicy{.keepPerFolder = 2}));

    ASSERT_EQ(runHeadless({Command::scan, dir / "other", {}}), exitOk);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(runHeadless({Command::scan, dir / "tree", {}}), exitOk);
    // A scan written to a named file is not the history's: it prunes nothing.
    ASSERT_EQ(runHeadless({Command::scan, dir / "tree", dir / "s.sqlite"}), exitOk);
    const auto history = ScanStore::history();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(std::count_if(history.begin(), history.end(),
                            [&](const ScanRecord& r) { return r.rootPath == dir / "tree"; }),
              2);
}

// What a remote scan reads: the walk as an export, the same scan once imported.
TEST_F(HeadlessCommands, ScanWithExportWritesTheWalkAndStoresNothing) {
    test::put(dir / "tree/sub/f", "0123456789");
    test::putSized(dir / "tree/big", 50'000);
    ASSERT_EQ(::link((dir / "tree/big").c_str(), (dir / "tree/sub/twin").c_str()), 0);

    CommandLine toFile{Command::scan, dir / "tree", {}};
    toFile.exportTo = dir / "walk.json";
    ASSERT_EQ(runHeadless(toFile), exitOk);
    EXPECT_TRUE(ScanStore::history().empty());
    EXPECT_EQ(test::readFile(dir / "walk.json").rfind("[1,2,{\"progname\":\"tarnbeck\"", 0), 0u);

    ASSERT_EQ(runHeadless({Command::scan, dir / "tree", dir / "s.sqlite"}), exitOk);
    ASSERT_EQ(runHeadless({Command::importExport, dir / "walk.json", {}}), exitOk);
    const auto stored = ScanStore::record(dir / "s.sqlite");
    const auto history = ScanStore::history();
    ASSERT_TRUE(stored);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].scannedBytes, stored->scannedBytes); // the link counted once
    EXPECT_EQ(history[0].rootPath, dir / "tree");

    CommandLine refused{Command::scan, dir / "tree", {}};
    refused.exportTo = dir / "tree"; // a folder is never replaced
    EXPECT_EQ(runHeadless(refused), exitFailure);
}

TEST_F(HeadlessCommands, ScanAndExportWriteWholeFilesOrNoneUpToTheLongestName) {
    makeScanAndExport(dir);
    // Into the store by default, where the history lists it.
    EXPECT_EQ(runHeadless({Command::importExport, dir / "s.json", {}}), exitOk);
    EXPECT_EQ(ScanStore::history().size(), 1u);

    const struct {
        CommandLine line;
        std::string mustNotExist;
    } failures[] = {
        {{Command::scan, dir / "missing", dir / "m.sqlite"}, dir / "m.sqlite"},
        {{Command::scan, dir / "tree/sub/f", dir / "f.sqlite"}, dir / "f.sqlite"},
        {{Command::exportScan, dir / "missing.sqlite", dir / "m.json"}, dir / "m.json"},
        {{Command::exportScan, dir / "s.json", dir / "x.json"}, dir / "x.json"},
        {{Command::importExport, dir / "s.sqlite", {}}, ""},
    };
    for (const auto& f : failures) {
        EXPECT_EQ(runHeadless(f.line), exitFailure) << f.line.path;
        if (!f.mustNotExist.empty()) {
            EXPECT_FALSE(test::exists(f.mustNotExist));
            EXPECT_EQ(test::namesIn(dir.path()),
                      (std::vector<std::string>{"s.json", "s.sqlite", "tree"}));
        }
    }
    EXPECT_EQ(ScanStore::history().size(), 1u);

    // The longest file name is written too.
    const std::string longest = dir / std::string(255, 'n');
    EXPECT_EQ(runHeadless({Command::exportScan, dir / "s.sqlite", longest}), exitOk);
    EXPECT_EQ(test::readFile(longest), test::readFile(dir / "s.json"));
    EXPECT_EQ(runHeadless({Command::scan, dir / "tree", longest}), exitOk);
    EXPECT_TRUE(ScanStore::record(longest));
}

struct Outcome {
    int status = -1; // the exit status, or 128 + the signal that ended it
    std::string err;
};

// Runs a command in a child: `out` as standard output, errors kept, in `cwd`, under an alarm.
Outcome runInChild(const CommandLine& line, int out, const std::string& cwd) {
    const std::string errFile = cwd + "/.stderr";
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (err < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0 ||
            ::chdir(cwd.c_str()) != 0)
            ::_exit(99);
        ::alarm(60);
        const int status = runHeadless(line);
        std::fflush(nullptr);
        ::_exit(status);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Outcome o{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
              test::readFile(errFile)};
    ::unlink(errFile.c_str());
    return o;
}

Outcome runInChild(const CommandLine& line, const std::string& outFile, const std::string& cwd) {
    platform::FileDescriptor out(
        ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    return runInChild(line, out.get(), cwd);
}

TEST_F(HeadlessCommands, UnwritableStandardOutputFailsAndNamesTheStoredScan) {
    test::TempDir tmp;
    test::ScopedEnv tmpdir("TMPDIR", tmp.path());
    makeScanAndExport(dir);
    const struct {
        CommandLine line;
        std::string message;
        bool stores;
    } cases[] = {
        {{Command::scan, dir / "tree", {}}, "the scan is stored in ", true},
        {{Command::importExport, dir / "s.json", {}}, "the scan is stored in ", true},
        {{Command::exportScan, dir / "s.sqlite", {}}, "No space left on device", false},
        {{Command::exportScan, dir / "s.sqlite", "-"}, "No space left on device", false},
        {{Command::scan, dir / "tree", "-"}, "No space left on device", false},
    };
    platform::FileDescriptor full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full.valid());
    std::size_t stored = 0;
    for (const auto& c : cases) {
        const Outcome o = runInChild(c.line, full.get(), dir.path());
        EXPECT_EQ(o.status, exitFailure) << c.line.path << o.err;
        const auto at = o.err.find(c.message);
        ASSERT_NE(at, std::string::npos) << o.err;
        if (c.stores) {
            ++stored;
            const std::string path = o.err.substr(at + c.message.size());
            EXPECT_TRUE(ScanStore::record(path.substr(0, path.find('\n')))) << o.err;
        }
    }
    EXPECT_EQ(ScanStore::history().size(), stored);
    EXPECT_TRUE(test::namesIn(tmp.path()).empty());
}

TEST_F(HeadlessCommands, DashIsStandardOutputButAScanFileNeverGoesToATerminal) {
    test::TempDir tmp;
    test::ScopedEnv tmpdir("TMPDIR", tmp.path());
    makeScanAndExport(dir);
    test::makeDirs(dir / "cwd");

    Outcome o =
        runInChild({Command::exportScan, dir / "s.sqlite", "-"}, dir / "out.json", dir / "cwd");
    EXPECT_EQ(o.status, exitOk) << o.err;
    EXPECT_EQ(test::readFile(dir / "out.json"), test::readFile(dir / "s.json"));

    o = runInChild({Command::scan, dir / "tree", "-"}, dir / "out.sqlite", dir / "cwd");
    EXPECT_EQ(o.status, exitOk) << o.err;
    const auto record = ScanStore::record(dir / "out.sqlite");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->rootPath, dir / "tree");
    ASSERT_TRUE(ScanStore::load(*record));
    EXPECT_EQ(ScanStore::load(*record)->root->allocatedSize(),
              ScanStore::load(*ScanStore::record(dir / "s.sqlite"))->root->allocatedSize());

    platform::FileDescriptor terminal(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(terminal.valid());
    ASSERT_EQ(::grantpt(terminal.get()), 0);
    ASSERT_EQ(::unlockpt(terminal.get()), 0);
    platform::FileDescriptor screen(
        ::open(::ptsname(terminal.get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
    o = runInChild({Command::scan, dir / "tree", "-"}, screen.get(), dir / "cwd");
    EXPECT_EQ(o.status, exitUsage);
    EXPECT_NE(o.err.find("redirect standard output"), std::string::npos) << o.err;

    EXPECT_TRUE(test::namesIn(dir / "cwd").empty());
    EXPECT_TRUE(test::namesIn(tmp.path()).empty());
    EXPECT_TRUE(ScanStore::history().empty());
}

TEST_F(HeadlessCommands, OutputNeverReplacesADeviceFifoSocketOrFolder) {
    makeScanAndExport(dir);
    const auto special = test::makeSpecialFiles(dir.path());
    ASSERT_GE(special.size(), 3u);
    for (const auto& [target, type] : special) {
        for (const Command command : {Command::scan, Command::exportScan}) {
            const std::string input = command == Command::scan ? dir / "tree" : dir / "s.sqlite";
            EXPECT_EQ(runHeadless({command, input, target}), exitFailure) << target;
            EXPECT_EQ(test::typeOf(target), type) << target;
        }
    }
    EXPECT_EQ(test::namesIn(dir.path()).size(), 3u + special.size());
}

TEST_F(HeadlessCommands, ExportIntoAStickyFolderIsNotHijackedByAnotherUser) {
    if (!test::canActAsSecondUser())
        GTEST_SKIP() << "files planted by another user need root and setpriv to act as uid 65534";
    makeScanAndExport(dir);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    test::writeFile(dir / "victim", "SECRET");
    const mode_t oldMask = ::umask(022);
    // The first three take the name a predictable temporary file would have.
    const struct {
        const char* what;
        std::string plant;
    } cases[] = {
        {"a link to the victim", "ln -s " + dir / "victim" + " r.json.tarnbeck-partial"},
        {"a FIFO", "mkfifo r.json.tarnbeck-partial"},
        {"a file of theirs", "touch r.json.tarnbeck-partial && chmod 666 r.json.tarnbeck-partial"},
        {"a link at the final name", "ln -s " + dir / "victim" + " r.json"},
        {"a file of theirs at the final name", "touch r.json && chmod 666 r.json"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string sticky = dir / ("sticky" + std::to_string(++n));
        test::makeDirs(sticky);
        ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
        ASSERT_TRUE(test::runAsSecondUser("cd " + sticky + " && " + c.plant)) << c.what;
        const Outcome o = runInChild({Command::exportScan, dir / "s.sqlite", sticky + "/r.json"},
                                     "/dev/null", dir.path());
        EXPECT_EQ(o.status, exitOk) << c.what << ": " << o.err;
        EXPECT_EQ(test::readFile(dir / "victim"), "SECRET") << c.what;
        struct stat st {};
        ASSERT_EQ(::lstat((sticky + "/r.json").c_str(), &st), 0) << c.what;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << c.what;
        EXPECT_EQ(st.st_uid, 0u) << c.what;
        EXPECT_EQ(st.st_mode & 07777, 0644u) << c.what;
        EXPECT_EQ(test::readFile(sticky + "/r.json"), test::readFile(dir / "s.json")) << c.what;
    }
    ::umask(oldMask);
}

TEST_F(HeadlessCommands, AFailedOrStoppedImportWritesNothingAndShowsNamesEscaped) {
    // A name with a colour change, a NUL and a slash.
    test::writeFile(dir / "bad.json",
                    "[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\\u001b[31m\\u0000b/c\"}]]");
    const Outcome o =
        runInChild({Command::importExport, dir / "bad.json", {}}, "/dev/null", dir.path());
    EXPECT_EQ(o.status, exitFailure);
    EXPECT_EQ(o.err.find('\x1b'), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("\"a\\x1b[31m\\x00b/c\" is not a file name"), std::string::npos) << o.err;
    // SIGTERM arrives as the import starts: held pending until the command's
    // own signal thread takes it, as it would be from a shell's kill.
    std::string text = "[1,2,{},[{\"name\":\"/r\"}";
    for (int i = 0; i < 20'000; ++i)
        text += ",{\"name\":\"f" + std::to_string(i) + "\",\"asize\":1}";
    test::writeFile(dir / "big.json", text + "]]");

    sigset_t term, previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &term, &previous), 0);
    ::kill(::getpid(), SIGTERM);
    const int status = runHeadless({Command::importExport, dir / "big.json", {}});
    const timespec none{0, 0};
    const bool stillPending = sigtimedwait(&term, nullptr, &none) == SIGTERM;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    EXPECT_FALSE(stillPending) << "the import did not take the signal";
    EXPECT_EQ(status, exitFailure);
    EXPECT_TRUE(test::namesIn(ScanStore::directory()).empty());
}

// path -> (logical, allocated) of every file, and the folders' paths.
std::map<std::string, std::pair<std::int64_t, std::int64_t>> filesOf(const ScanForest& forest) {
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> out;
    for (const ScanNode* n : forest.nodes())
        out[n->path()] = n->isDirectory() ? std::pair<std::int64_t, std::int64_t>{-1, -1}
                                          : std::pair{n->logicalSize(), n->allocatedSize()};
    return out;
}

class RemoteScanOverSsh : public ::testing::Test {
protected:
    void SetUp() override {
        if (server_.unavailable()) GTEST_SKIP() << *server_.unavailable();
        test::put(tree_ / "srv/a/notes.txt", "some notes");
        test::putSized(tree_ / "srv/a/b/big.bin", 300'000, 7);
        test::put(tree_ / "srv/it's \"quoted\" $HOME", "x");
        test::put(tree_ / "srv/\xff\xfe not utf-8", "bytes");
        test::makeDirs(tree_ / "srv/empty");
        ASSERT_EQ(::link((tree_ / "srv/a/b/big.bin").c_str(), (tree_ / "srv/a/twin.bin").c_str()),
                  0);
    }
    RemoteScan::Options options() const {
        RemoteScan::Options o;
        o.storeDirectory = ScanStore::directory();
        o.ssh = server_.client();
        return o;
    }
    platform::RemoteAddress address() const {
        return *platform::parseRemoteAddress(server_.address(tree_ / "srv"));
    }

    test::TempHome home_;
    test::TempDir tree_;
    test::SshServer server_;
};

TEST_F(RemoteScanOverSsh, EachScannerGivesTheEntriesAndBytesOfAScanHere) {
    const struct {
        const char* name;
        std::string program;
        RemoteScan::Agent agent;
    } agents[] = {
        {"tarnbeck", TARNBECK_BINARY, RemoteScan::Agent::tarnbeck},
        {"ncdu", "/usr/bin/ncdu", RemoteScan::Agent::ncdu},
        {"gdu", "/usr/bin/gdu", RemoteScan::Agent::gdu},
    };
    for (const auto& a : agents) {
        SCOPED_TRACE(a.name);
        if (::access(a.program.c_str(), X_OK) != 0) {
            ADD_FAILURE() << a.program << " is missing";
            continue;
        }
        if (a.agent == RemoteScan::Agent::gdu) {
            // gdu marks only later names of a linked file and rewrites names that are not UTF-8.
            ::unlink((tree_ / "srv/a/twin.bin").c_str());
            ::unlink((tree_ / "srv/\xff\xfe not utf-8").c_str());
        }
        const ScanForest local = test::scanFolder(tree_ / "srv");
        // The others stay on the remote's PATH: the preference order is tested too.
        std::map<std::string, std::string> tools = {{a.name, a.program}};
        if (a.agent != RemoteScan::Agent::gdu) tools["gdu"] = "/usr/bin/gdu";
        server_.setRemoteTools(tools);
        std::int64_t lastProgress = 0;
        RemoteScan::Options o = options();
        o.progress = [&](std::int64_t n) { lastProgress = n; };
        auto summary = RemoteScan::scan(address(), o);
        ASSERT_TRUE(summary) << summary.error().message;
        EXPECT_EQ(summary->agent, a.agent);
        const ScanRecord& record = summary->imported.record;
        EXPECT_EQ(record.context.host, address().machine());
        EXPECT_EQ(summary->imported.entries, std::int64_t(local.nodes().size()));
        EXPECT_EQ(record.scannedBytes - summary->imported.folderBlocks,
                  local.root()->allocatedSize());
        EXPECT_EQ(lastProgress, 0); // a few entries: below the first report

        auto reopened = ScanStore::record(record.fileURL);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(reopened->context.host, address().machine()); // kept in the file
        auto forest = ScanStore::reopen(*reopened);
        ASSERT_TRUE(forest);
        EXPECT_EQ(filesOf(*forest), filesOf(local));
    }
    // Scans of the same folder there keep their own history, apart from this machine's.
    EXPECT_EQ(ScanStore::history().size(), 3u);
}

TEST_F(RemoteScanOverSsh, ACommandLineScanPrintsTheStoredFile) {
    server_.setRemoteTools({{"tarnbeck", TARNBECK_BINARY}});
    test::ScopedEnv path("PATH", server_.clientFolder() + ":" + std::getenv("PATH"));
    ASSERT_EQ(runHeadless({Command::scan, server_.address(tree_ / "srv"), {}}), exitOk);
    const auto history = ScanStore::history();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].context.host, address().machine());
    EXPECT_EQ(history[0].rootPath, tree_ / "srv");
}

TEST_F(RemoteScanOverSsh, FailuresSayWhyAStopEndsAScanThatNeverFinishesAndNothingIsStored) {
    const struct {
        const char* what;
        std::string script; // the remote's "ncdu"; empty: no scanner at all
        std::string user;
        int code;
        std::string said;
    } cases[] = {
        {"chatter", "echo 'Hello from the NAS'\n", "root", 4, "other than an export"},
        {"endless", "exec /usr/bin/yes\n", "root", 4, "other than an export"},
        {"cut short", "printf '[1,2,{},[{\"name\":\"/x\"}'\n", "root", 4, "other than an export"},
        {"failed", "echo 'no such folder' >&2; exit 1\n", "root", 4, "no such folder"},
        {"none", "", "root", 3, "none of tarnbeck, ncdu or gdu"},
        {"refused login", "exit 0\n", "nobody", 7, "ssh-copy-id -p"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.script.empty()) {
            server_.setRemoteTools({});
        } else {
            server_.setRemoteScript("ncdu", c.script);
        }
        auto a = address();
        a.user = c.user;
        auto summary = RemoteScan::scan(a, options());
        ASSERT_FALSE(summary);
        EXPECT_EQ(summary.error().code, c.code) << summary.error().message;
        EXPECT_NE(summary.error().message.find(c.said), std::string::npos)
            << summary.error().message;
        EXPECT_EQ(RemoteScan::isLoginRefused(summary.error()), c.code == 7);
    }

    server_.setRemoteScript("ncdu",
                            "printf '[1,2,{},[{\"name\":\"/x\"}'; exec /usr/bin/sleep 60\n");
    std::stop_source stop;
    RemoteScan::Options o = options();
    o.stop = stop.get_token();
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        stop.request_stop();
    });
    const auto started = std::chrono::steady_clock::now();
    auto stopped = RemoteScan::scan(address(), o);
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().code, 5);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_TRUE(test::namesIn(ScanStore::directory()).empty());
}

} // namespace
} // namespace tb
