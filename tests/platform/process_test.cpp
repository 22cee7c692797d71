// Other programs run from here: local tools and the ssh client.
#include "platform/process_runner.h"
#include "platform/remote_shell.h"

#include <signal.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace tb::platform {
namespace {

TEST(ProcessRunner, CollectsStandardOutputDropsStandardErrorAndStops) {
    const auto& runner = systemProcessRunner();
    // 1 MiB on standard error first: far more than a pipe holds.
    auto r = runner.run("/bin/sh", {"-c", "head -c 1048576 /dev/zero >&2; printf 'a\\nb'; exit 3"});
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(r->standardOutput, "a\nb");
    EXPECT_EQ(r->exitStatus, 3);
    auto big = runner.run("/bin/sh", {"-c", "head -c 3000000 /dev/zero"});
    ASSERT_TRUE(big);
    EXPECT_EQ(big->standardOutput.size(), 3'000'000u);
    EXPECT_FALSE(runner.run("/nonexistent/tool", {}));
    EXPECT_FALSE(runner.run("sh", {"-c", "true"})); // no search of PATH
    // A stop kills a hung tool.
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    auto hung = runner.run("/bin/sleep", {"30"}, stop.get_token());
    stopper.join();
    EXPECT_FALSE(hung);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(ProcessRunner, ATimeLimitStopsAHungToolButNotAQuickOne) {
    const auto& runner = systemProcessRunner();
    using std::chrono::milliseconds;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(runWithin(runner, "/bin/sleep", {"30"}, milliseconds(200)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // A quick tool returns long before its limit.
    const auto before = std::chrono::steady_clock::now();
    auto quick = runWithin(runner, "/bin/sh", {"-c", "printf ok"}, std::chrono::minutes(5));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
    ASSERT_TRUE(quick);
    EXPECT_EQ(quick->standardOutput, "ok");
    // The caller's own stop still counts.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(runWithin(runner, "/bin/sleep", {"30"}, milliseconds(10'000), stop.get_token()));
}

TEST(RemoteShell, AddressesParseIntoUserHostPortAndPath) {
    const struct {
        std::string_view text;
        std::string user, host;
        std::optional<int> port;
        std::string path, machine;
    } cases[] = {
        {"ssh://nas/volume1", "", "nas", {}, "/volume1", "nas"},
        {"ssh://ann@nas:2222/", "ann", "nas", 2222, "/", "ann@nas:2222"},
        {"ssh://[::1]:22/srv/a b", "", "::1", 22, "/srv/a b", "[::1]:22"},
    };
    for (const auto& c : cases) {
        auto a = parseRemoteAddress(c.text);
        ASSERT_TRUE(a) << c.text << ": " << a.error().message;
        EXPECT_EQ(a->user, c.user) << c.text;
        EXPECT_EQ(a->host, c.host) << c.text;
        EXPECT_EQ(a->port, c.port) << c.text;
        EXPECT_EQ(a->path, c.path) << c.text;
        EXPECT_EQ(a->machine(), c.machine) << c.text;
    }
    EXPECT_EQ(parseRemoteAddress("ssh://nas/v")->shown(), "nas:/v");
}

TEST(RemoteShell, AddressesSshWouldMisreadAreRefused) {
    const std::string_view refused[] = {
        "ssh://-oProxyCommand=touch%20x/tmp", // an option, not a host
        "ssh://-nas/tmp",
        "ssh://-l@nas/tmp", // an option as the user
        "ssh://a@b@nas/tmp",
        "ssh://nas",  // no folder
        "ssh:///tmp", // no host
        "ssh://na s/tmp",
        "ssh://nas\t/tmp",
        "ssh://n'as/tmp",
        "ssh://nas:0/tmp",
        "ssh://nas:65536/tmp",
        "ssh://nas:22x/tmp",
        "ssh://nas:/tmp",
        "ssh://[::1/tmp",
        "ssh://[evil]/tmp",
        "/tmp",
    };
    for (std::string_view text : refused) {
        auto a = parseRemoteAddress(text);
        ASSERT_FALSE(a) << text;
        EXPECT_EQ(a.error().domain, "RemoteShell") << text;
    }
    auto dash = parseRemoteAddress("ssh://-oProxyCommand=x/tmp");
    ASSERT_FALSE(dash);
    EXPECT_NE(dash.error().message.find("beginning with '-'"), std::string::npos);
}

TEST(RemoteShell, WordsAreOneSingleQuotedShellArgument) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/srv", "'/srv'"},     {"", "''"},
        {"it's", "'it'\\''s'"}, {"$(rm -rf ~); `x` \"y\" \\z", "'$(rm -rf ~); `x` \"y\" \\z'"},
        {"a\nb", "'a\nb'"},     {"''", "''\\'''\\'''"},
    };
    for (const auto& [word, quoted] : cases)
        EXPECT_EQ(shellQuoted(word), quoted) << word;
}

TEST(RemoteShell, SshGetsBatchModeAndNothingThatOverridesItsConfiguration) {
    auto plain = parseRemoteAddress("ssh://nas/x");
    ASSERT_TRUE(plain);
    EXPECT_EQ(sshArguments(*plain, "cmd"),
              (std::vector<std::string>{"-o", "BatchMode=yes", "nas", "--", "cmd"}));
    auto full = parseRemoteAddress("ssh://ann@nas:2222/x");
    ASSERT_TRUE(full);
    EXPECT_EQ(
        sshArguments(*full, "cmd"),
        (std::vector<std::string>{"-o", "BatchMode=yes", "-p", "2222", "ann@nas", "--", "cmd"}));
}

TEST(RemoteShell, TheClientsOutputAndMessagesAreKeptAndAStopRequestEndsIt) {
    auto c = RemoteCommand::start("sh", {"-c", "echo out; echo err >&2; exit 3"});
    ASSERT_TRUE(c) << c.error().message;
    FileDescriptor out = c->takeOutput();
    char buffer[64] = {};
    EXPECT_EQ(readRetrying(out.get(), buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "out\n");
    EXPECT_EQ(c->wait(), 3);
    EXPECT_EQ(c->errors(), "err\n");
    EXPECT_FALSE(RemoteCommand::start("no-such-client-anywhere", {}));

    std::stop_source stop;
    auto hung = RemoteCommand::start("sleep", {"30"}, stop.get_token());
    ASSERT_TRUE(hung);
    FileDescriptor hungOut = hung->takeOutput();
    stop.request_stop();
    EXPECT_EQ(readRetrying(hungOut.get(), buffer, 1), 0); // the pipe closes with the client
    EXPECT_EQ(hung->wait(), 128 + SIGKILL);
}

} // namespace
} // namespace tb::platform
