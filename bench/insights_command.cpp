// tarnbeck-bench insights PATH [--home DIR]: scans PATH and prints, as one
// JSON object, what the analyses find there with DIR as the Home folder
// (default $HOME).
#include <cstdio>
#include <iostream>
#include <sstream>

#include "analysis/insights_report.h"
#include "bench_command.h"
#include "platform/file_system.h"
#include "platform/process_runner.h"
#include "scan/directory_walker.h"

namespace tb::bench {
namespace {

std::string num(std::int64_t v) {
    return std::to_string(v);
}
std::string boolean(bool v) {
    return v ? "true" : "false";
}

template <typename T, typename F>
std::string array(const std::vector<T>& items, F&& object) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ",";
        out += "\n    " + object(items[i]);
    }
    return out + (items.empty() ? "]" : "\n  ]");
}

std::string volumeJson(const InsightsReport& r) {
    if (!r.volume || !r.truth) return "null";
    std::string slices;
    for (const auto& s : r.truth->slices) {
        if (!slices.empty()) slices += ", ";
        slices += jsonString(std::string(rawValue(s.id))) + ": " + num(s.bytes);
    }
    return "{\"name\": " + jsonString(r.volume->name) +
           ", \"capacity\": " + num(r.volume->capacity) +
           ", \"mount_point\": " + jsonString(r.volume->mountPoint) + ", \"slices\": {" + slices +
           "}}";
}

int insights(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "usage: tarnbeck-bench insights PATH [--home DIR]\n";
        return 2;
    }
    std::string home = platform::SpecialFolders::home().value_or("/");
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--home") home = args[i + 1];
    }
    const ScanForest forest = DirectoryWalker::walk(args[0], [](const WalkProgress&) {});
    const AppSources sources = AppSources::forHome(HomePlaces::of(home));
    const InsightsReport r = Insights::gather(forest, sources, platform::systemProcessRunner());

    std::ostringstream out;
    out << "{\n  \"root\": " << jsonString(args[0]) << ",\n  \"home\": " << jsonString(home);
    out << ",\n  \"cleanup\": " << array(r.cleanup, [](const CleanupCandidate& c) {
        return "{\"path\": " + jsonString(c.id) + ", \"owner\": " + jsonString(c.owner) +
               ", \"risk\": " + jsonString(std::string(rawValue(c.risk))) +
               ", \"bytes\": " + num(c.bytes) + ", \"reason\": " + jsonString(c.reason) +
               ", \"evidence\": " + jsonString(c.evidence) + ", \"regenerate\": " +
               (c.regenerate.empty() ? std::string("null") : jsonString(c.regenerate)) + "}";
    });
    out << ",\n  \"quick_wins\": " << array(r.quickWins, [](const QuickWin& w) {
        return "{\"id\": " + jsonString(w.id) + ", \"title\": " + jsonString(w.title) +
               ", \"path\": " + jsonString(w.url) + ", \"bytes\": " + num(w.bytes) +
               ", \"reason\": " + jsonString(w.why) +
               ", \"within\": " + (w.within.empty() ? std::string("null") : jsonString(w.within)) +
               "}";
    });
    out << ",\n  \"apps\": " << array(r.apps, [](const AppFootprint& a) {
        return "{\"name\": " + jsonString(a.name) + ", \"id\": " + jsonString(a.bundleID) +
               ", \"kind\": " + jsonString(a.kind) + ", \"bytes\": " + num(a.appBytes) +
               ", \"related_bytes\": " + num(a.relatedBytes) + ", \"packages\": " +
               array(a.packages, [](const std::string& p) { return jsonString(p); }) +
               ", \"problem\": " +
               (a.problem.empty() ? std::string("null") : jsonString(a.problem)) + "}";
    });
    out << ",\n  \"leftovers\": " << array(r.leftovers, [](const Leftover& l) {
        return "{\"path\": " + jsonString(l.id) + ", \"owner\": " + jsonString(l.owner) +
               ", \"bytes\": " + num(l.bytes) + ", \"orphan\": " + boolean(l.orphan) + "}";
    });
    out << ",\n  \"snapshots\": " << array(r.snapshots, [](const SnapshotInfo& s) {
        return "{\"name\": " + jsonString(s.name.empty() ? s.raw : s.name) +
               ", \"date\": " + jsonString(s.date) +
               ", \"bytes\": " + (s.bytes ? num(*s.bytes) : std::string("null")) + "}";
    });
    out << ",\n  \"system\": " << array(r.system, [](const SystemReclaim& s) {
        return "{\"id\": " + jsonString(s.id) + ", \"title\": " + jsonString(s.title) +
               ", \"bytes\": " + num(s.bytes) + ", \"command\": " + jsonString(s.command) +
               ", \"detail\": " + jsonString(s.detail) + "}";
    });
    out << ",\n  \"protected\": "
        << array(r.protectedPaths, [](const std::string& p) { return jsonString(p); });
    out << ",\n  \"sparse\": "
        << array(r.sparse, [](const std::string& p) { return jsonString(p); });
    out << ",\n  \"volume\": " << volumeJson(r) << "\n}\n";
    std::fputs(out.str().c_str(), stdout);
    return 0;
}

Registration reg("insights", insights);

} // namespace
} // namespace tb::bench
