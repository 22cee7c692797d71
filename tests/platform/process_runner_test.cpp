#include "platform/process_runner.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace tb {
namespace {

TEST(ProcessRunner, CollectsStandardOutputDropsStandardErrorAndStops) {
    const auto& runner = platform::systemProcessRunner();
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
    const auto& runner = platform::systemProcessRunner();
    using std::chrono::milliseconds;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::runWithin(runner, "/bin/sleep", {"30"}, milliseconds(200)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    auto quick = platform::runWithin(runner, "/bin/sh", {"-c", "printf ok"}, milliseconds(10'000));
    ASSERT_TRUE(quick);
    EXPECT_EQ(quick->standardOutput, "ok");
    // The caller's own stop still counts.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(
        platform::runWithin(runner, "/bin/sleep", {"30"}, milliseconds(10'000), stop.get_token()));
    // A quick tool returns long before its limit.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(platform::runWithin(runner, "/bin/true", {}, std::chrono::minutes(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
}

} // namespace
} // namespace tb
