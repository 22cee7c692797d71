#include <sys/resource.h>

#include <cstdio>
#include <iostream>

#include "bench_command.h"

namespace tb::bench {

std::map<std::string, Command>& commands() {
    static std::map<std::string, Command> all;
    return all;
}

long peakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::string jsonString(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(char(c));
        } else if (c < 0x20 || c >= 0x80) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.push_back(char(c));
        }
    }
    return out + "\"";
}

} // namespace tb::bench

int main(int argc, char** argv) {
    auto& all = tb::bench::commands();
    if (argc < 2 || !all.count(argv[1])) {
        std::cerr << "usage: tarnbeck-bench <command> [args]\ncommands:";
        for (auto& [name, _] : all)
            std::cerr << " " << name;
        std::cerr << "\n";
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    return all[argv[1]](args);
}
