#include "interchange/remote_scan.h"

#include <gtest/gtest.h>

#include <map>

#include "app/headless_commands.h"
#include "scan/directory_walker.h"
#include "store/scan_store.h"
#include "support/ssh_server.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

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
            // gdu marks only the later names of a linked file, so the first
            // cannot be matched, and it rewrites names that are not UTF-8.
            ::unlink((tree_ / "srv/a/twin.bin").c_str());
            ::unlink((tree_ / "srv/\xff\xfe not utf-8").c_str());
        }
        const ScanForest local =
            DirectoryWalker::walk(tree_ / "srv", [](const WalkProgress&) {}, {});
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

TEST_F(RemoteScanOverSsh, FailuresSayWhyAndStoreNothing) {
    const struct {
        const char* what;
        std::string script; // the remote's "ncdu"; empty: no scanner at all
        std::string path;
        std::string user;
        int code;
        std::string said;
    } cases[] = {
        {"chatter", "echo 'Hello from the NAS'\n", "/srv", "root", 4, "other than an export"},
        {"endless", "exec /usr/bin/yes\n", "/srv", "root", 4, "other than an export"},
        {"cut short", "printf '[1,2,{},[{\"name\":\"/x\"}'\n", "/srv", "root", 4,
         "other than an export"},
        {"failed", "echo 'no such folder' >&2; exit 1\n", "/srv", "root", 4, "no such folder"},
        {"none", "", "/srv", "root", 3, "none of tarnbeck, ncdu or gdu"},
        {"refused login", "exit 0\n", "/srv", "nobody", 7, "ssh-copy-id -p"},
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
    EXPECT_TRUE(test::namesIn(ScanStore::directory()).empty());
}

TEST_F(RemoteScanOverSsh, AStopEndsAScanThatNeverFinishesAndStoresNothing) {
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
    auto summary = RemoteScan::scan(address(), o);
    ASSERT_FALSE(summary);
    EXPECT_EQ(summary.error().code, 5);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_TRUE(test::namesIn(ScanStore::directory()).empty());
}

} // namespace
} // namespace tb
