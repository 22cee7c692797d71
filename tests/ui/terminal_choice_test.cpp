#include <gtest/gtest.h>

#include "desktop/terminal_choice.h"

namespace tb {
namespace {

using Commands = std::vector<std::vector<std::string>>;

TEST(TerminalChoice, TriesTheUsersChoiceThenTheDesktopsThenTheSystemDefault) {
    struct Case {
        TerminalChoice::Hints hints;
        Commands expected;
    };
    const Case cases[] = {
        {{}, {{"x-terminal-emulator"}}},
        {{"kitty --single-instance", "'gnome-terminal'\n",
          "[General]\nTerminalApplication=konsole\n"},
         {{"kitty", "--single-instance"},
          {"gnome-terminal"},
          {"konsole"},
          {"x-terminal-emulator"}}},
        {{"", "''", "[KDE]\nTerminalApplication=wrong\n[General]\nTerminalApplicationX=no\n"},
         {{"x-terminal-emulator"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TerminalChoice::candidates(c.hints), c.expected);
    EXPECT_EQ(TerminalChoice::kdeTerminal("[General]\r\nTerminalApplication = alacritty \r\n"),
              "alacritty");
}

} // namespace
} // namespace tb
