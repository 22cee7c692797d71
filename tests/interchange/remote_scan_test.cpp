#include "interchange/remote_scan.h"

#include <gtest/gtest.h>

namespace tb::RemoteScan {
namespace {

TEST(RemoteScan, TheFirstScannerByPreferenceIsChosenWhateverElseThePromptSays) {
    const struct {
        std::string_view probe;
        std::optional<Agent> chosen;
    } cases[] = {
        {"/usr/bin/ncdu\n/usr/bin/gdu\n/opt/tb/bin/tarnbeck\n", Agent::tarnbeck},
        {"/usr/bin/gdu\n/usr/bin/ncdu\n", Agent::ncdu},
        {"Welcome to the NAS\n/usr/local/bin/gdu\r\n", Agent::gdu},
        {"alias ncdu='ncdu --color dark'\n/usr/bin/gdu\n", Agent::gdu}, // no program of its own
        {"/usr/bin/tarnbeck-old\n/home/x/ncdu/notes\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseAgent(c.probe), c.chosen) << c.probe;
}

TEST(RemoteScan, EachScannerWritesItsExportOfOneQuotedFolderToStandardOutput) {
    const std::string folder = "/srv/it's; rm -rf ~";
    EXPECT_EQ(agentCommand(Agent::tarnbeck, "/opt/bin/tarnbeck", folder),
              "'/opt/bin/tarnbeck' scan --export - -- '/srv/it'\\''s; rm -rf ~'");
    EXPECT_EQ(agentCommand(Agent::ncdu, "/usr/bin/ncdu", "/-x"),
              "'/usr/bin/ncdu' -0 -x -o - -- '/-x'");
    EXPECT_EQ(agentCommand(Agent::gdu, "/usr/bin/gdu", "/"), "'/usr/bin/gdu' -n -x -o - -- '/'");
}

} // namespace
} // namespace tb::RemoteScan
