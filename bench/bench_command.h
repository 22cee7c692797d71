// Sub-commands of tarnbeck-bench register themselves here; each prints JSON
// lines to standard output.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tb::bench {

using Command = std::function<int(const std::vector<std::string>& args)>;
std::map<std::string, Command>& commands();

struct Registration {
    Registration(const std::string& name, Command command) {
        commands()[name] = std::move(command);
    }
};

// Peak resident set size of this process, in KiB.
long peakRssKb();
// Escapes bytes for a JSON string (invalid UTF-8 bytes become \u00XX).
std::string jsonString(const std::string& bytes);

} // namespace tb::bench
