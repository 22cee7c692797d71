#include "desktop/terminal_choice.h"

#include <sstream>

namespace tb::TerminalChoice {
namespace {

std::vector<std::string> words(std::string_view command) {
    std::vector<std::string> out;
    std::istringstream in{std::string(command)};
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::string kdeTerminal(std::string_view text) {
    bool general = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.starts_with('[')) {
            general = line == "[General]";
        } else if (general && line.starts_with("TerminalApplication")) {
            const auto eq = line.find('=');
            if (eq != std::string_view::npos && trimmed(line.substr(19, eq - 19)).empty()) {
                return std::string(trimmed(line.substr(eq + 1)));
            }
        }
    }
    return {};
}

std::vector<std::vector<std::string>> candidates(const Hints& hints) {
    std::vector<std::vector<std::string>> out;
    auto add = [&](std::string_view command) {
        auto w = words(command);
        if (!w.empty()) out.push_back(std::move(w));
    };
    add(hints.terminalVariable);
    std::string_view gnome = trimmed(hints.gnomeSetting);
    if (gnome.size() >= 2 && gnome.front() == '\'' && gnome.back() == '\'') {
        gnome = gnome.substr(1, gnome.size() - 2);
    }
    add(gnome);
    add(kdeTerminal(hints.kdeGlobals));
    add("x-terminal-emulator");
    return out;
}

} // namespace tb::TerminalChoice
