#include "app/headless_commands.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "store/scan_store.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

TEST(HeadlessCommands, ScanAndExportWriteWholeFilesOrNone) {
    test::TempHome home;
    test::TempDir dir;
    test::put(dir / "tree/sub/f", "0123456789");

    EXPECT_EQ(runHeadless({Command::scan, dir / "tree", dir / "s.sqlite"}), exitOk);
    auto record = ScanStore::record(dir / "s.sqlite");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->rootPath, dir / "tree");

    EXPECT_EQ(runHeadless({Command::exportScan, dir / "s.sqlite", dir / "s.json"}), exitOk);
    EXPECT_EQ(test::readFile(dir / "s.json").rfind("[1,2,{\"progname\":\"tarnbeck\"", 0), 0u);

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
            EXPECT_FALSE(test::exists(f.mustNotExist + ".tarnbeck-partial"));
        }
    }
    EXPECT_EQ(ScanStore::history().size(), 1u);
}

// What a command wrote on standard error.
class StandardError {
public:
    explicit StandardError(const std::string& file) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StandardError() { restore(); }
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

private:
    int saved_ = -1;
};

TEST(HeadlessCommands, ImportMessagesShowNamesEscapedAndWhole) {
    test::TempHome home;
    test::TempDir dir;
    // A name with a colour change, a NUL and a slash.
    test::writeFile(dir / "bad.json",
                    "[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\\u001b[31m\\u0000b/c\"}]]");
    StandardError captured(dir / "err");
    EXPECT_EQ(runHeadless({Command::importExport, dir / "bad.json", {}}), exitFailure);
    captured.restore();
    const std::string err = test::readFile(dir / "err");
    EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
    EXPECT_NE(err.find("\"a\\x1b[31m\\x00b/c\" is not a file name"), std::string::npos) << err;
}

// SIGTERM arrives as the import starts: held pending until the command's
// own signal thread takes it, as it would be from a shell's kill.
TEST(HeadlessCommands, ImportStoppedBySignalWritesNothing) {
    test::TempHome home;
    test::TempDir dir;
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

} // namespace
} // namespace tb
