#include "analysis/snapshot_service.h"

#include <gtest/gtest.h>

#include "analysis/text.h"
#include "support/platform_fakes.h"

namespace tb {
namespace {

std::vector<std::string> lines(const std::vector<SnapshotInfo>& s) {
    std::vector<std::string> out;
    for (const auto& i : s) {
        EXPECT_EQ(i.id, i.raw);
        out.push_back(i.raw);
    }
    return out;
}

using Lines = std::vector<std::string>;

TEST(SnapshotService, ParsesOnlySnapshotLinesUnchanged) {
    struct Case {
        std::string output;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"Snapshots for disk "
         "/:\r\ncom.apple.TimeMachine.a.local\r\ncom.apple.TimeMachine.b.local\r",
         {"com.apple.TimeMachine.a.local", "com.apple.TimeMachine.b.local"}},
        {"  snap com.apple.TimeMachine.x.local  \n", {"  snap com.apple.TimeMachine.x.local  "}},
        // Every line break the system counts, and no final one.
        {"com.apple.TimeMachine.1\vcom.apple.TimeMachine.2\fcom.apple.TimeMachine.3"
         "\xC2\x85"
         "com.apple.TimeMachine.4\xE2\x80\xA8"
         "com.apple.TimeMachine.5"
         "\xE2\x80\xA9"
         "com.apple.TimeMachine.6",
         {"com.apple.TimeMachine.1", "com.apple.TimeMachine.2", "com.apple.TimeMachine.3",
          "com.apple.TimeMachine.4", "com.apple.TimeMachine.5", "com.apple.TimeMachine.6"}},
        {"com.apple.timemachine.lower\ncom.apple.TimeMachine\n", {}},
        {"", {}},
        {"\n\n\r\n  \n", {}},
        {"com.apple.TimeMachine.\xC3\xA9t\xC3\xA9\n", {"com.apple.TimeMachine.\xC3\xA9t\xC3\xA9"}},
        // Not UTF-8: the whole output counts as empty.
        {"com.apple.TimeMachine.a\ncom.apple.TimeMachine.\xFF\n", {}},
        {"com.apple.TimeMachine.\xC0\xAF\n", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lines(SnapshotService::parseListing(c.output)), c.expected) << c.output;
    }
}

TEST(SnapshotService, RunsTheUtilityAndFailsQuietly) {
    test::FakeRunner runner;
    EXPECT_TRUE(SnapshotService::listLocal(runner).empty()); // cannot be started
    runner.answers["/usr/bin/tmutil"] = {"Snapshots:\ncom.apple.TimeMachine.z.local\n", 1};
    EXPECT_EQ(lines(SnapshotService::listLocal(runner)), (Lines{"com.apple.TimeMachine.z.local"}));
    EXPECT_EQ(runner.arguments[std::string(SnapshotService::tool)],
              (Lines{"listlocalsnapshots", "/"}));
}

TEST(Text, TrimsUnicodeWhiteSpaceAndValidatesUtf8) {
    EXPECT_EQ(text::trimmed(" \t\nFoo Bar\r\n"), "Foo Bar");
    EXPECT_EQ(text::trimmed("\xC2\xA0\xE2\x80\xA8"
                            "Foo\xE3\x80\x80"),
              "Foo");
    EXPECT_EQ(text::trimmed("\xFF Foo \xFF"), "\xFF Foo \xFF");
    EXPECT_EQ(text::trimmed("   "), "");
    EXPECT_TRUE(text::isValidUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(text::isValidUtf8("\xED\xA0\x80"));     // a surrogate
    EXPECT_FALSE(text::isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(text::isValidUtf8("\xE2\x82"));         // cut short
}

} // namespace
} // namespace tb
