// Which terminal "Open Terminal Here" starts. Pure, so the order can be
// tested without a desktop; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tb::TerminalChoice {

struct Hints {
    std::string terminalVariable; // $TERMINAL, a command with arguments
    std::string gnomeSetting;     // gsettings' answer, quoted: 'gnome-terminal'
    std::string kdeGlobals;       // the text of kdeglobals
};

// Commands to try in order, each split into its words: $TERMINAL, GNOME's
// default terminal, KDE's TerminalApplication, then Debian's
// x-terminal-emulator alternative. Empty settings are skipped.
std::vector<std::vector<std::string>> candidates(const Hints& hints);
// The value of TerminalApplication in the [General] group; empty without one.
std::string kdeTerminal(std::string_view kdeGlobals);

} // namespace tb::TerminalChoice
