// Stand-ins for the platform services that analysis asks about the machine.
#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/extent_reader.h"
#include "platform/process_runner.h"

namespace tb::test {

// Answers per executable; a tool not listed cannot be started.
class FakeRunner final : public platform::ProcessRunner {
public:
    std::map<std::string, platform::ProcessOutput> answers;
    mutable std::vector<std::string> started;
    mutable std::map<std::string, std::vector<std::string>> arguments; // by tool, the last run
    bool hang = false;

    Result<platform::ProcessOutput> run(const std::string& exe,
                                        const std::vector<std::string>& args,
                                        std::stop_token stop) const override {
        auto it = answers.find(exe);
        if (it == answers.end()) return Error::posix(ENOENT, exe);
        started.push_back(exe);
        arguments[exe] = args;
        while (hang && !stop.stop_requested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (stop.stop_requested()) return Error::posix(ECANCELED, exe);
        return it->second;
    }
};

// Files that share blocks, by path, with the block their first extent is.
class FakeExtents final : public platform::ExtentReader {
public:
    std::map<std::string, std::uint64_t> blocks;
    std::set<std::string> compressed; // fewer blocks than bytes, but no hole
    std::optional<bool> hasHoles(const std::string& path) const override {
        return compressed.count(path) == 0;
    }
    std::optional<bool> hasSharedExtents(const std::string& path) const override {
        return blocks.count(path) > 0;
    }
    std::optional<std::uint64_t> firstSharedExtent(const std::string& path) const override {
        auto it = blocks.find(path);
        if (it == blocks.end()) return std::nullopt;
        return it->second;
    }
};

// An Info.plist document holding `body` in its top dictionary.
inline std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n" +
           body + "</dict>\n</plist>\n";
}

} // namespace tb::test
