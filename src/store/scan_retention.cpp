#include "store/scan_retention.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "base/path.h"
#include "platform/file_system.h"
#include "platform/output_file.h"
#include "store/scan_store.h"

namespace tb::ScanRetention {
namespace {

// Far more than a pin per line of any real store; a larger file is cut.
constexpr std::size_t kMaxPolicyBytes = 256 * 1024;
constexpr std::string_view kSideFiles[] = {"-wal", "-shm"};

std::string policyPath(const std::string& storeDirectory) {
    return Path::appending(storeDirectory, kPolicyFile);
}

std::optional<int> parseKeep(std::string_view text) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (n < 1 || n > kMaxKeep) return std::nullopt;
    return n;
}

void applyLine(std::string_view line, RetentionPolicy& policy) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return;
    const std::string_view key = line.substr(0, space), value = line.substr(space + 1);
    if (key == "keep") {
        if (value == "all") {
            policy.keepPerFolder.reset();
        } else if (auto n = parseKeep(value)) {
            policy.keepPerFolder = n;
        }
    } else if (key == "pin") {
        if (auto id = Uuid::parse(value)) policy.pinned.insert(*id);
    }
}

} // namespace

RetentionPolicy read(const std::string& storeDirectory) {
    RetentionPolicy policy;
    auto text = platform::FileSystem::readHead(policyPath(storeDirectory), kMaxPolicyBytes);
    if (!text) return policy;
    std::string_view rest(*text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        // A line cut off by the size bound is not read.
        if (end == std::string_view::npos && text->size() == kMaxPolicyBytes) break;
        applyLine(rest.substr(0, end), policy);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return policy;
}

Status write(const std::string& storeDirectory, const RetentionPolicy& policy) {
    std::string text = "# Which stored scans Tarnbeck keeps.\nkeep ";
    text += policy.keepPerFolder ? std::to_string(*policy.keepPerFolder) : "all";
    text += "\n";
    for (const Uuid& id : policy.pinned)
        text += "pin " + id.toString() + "\n";
    auto file = platform::OutputFile::create(policyPath(storeDirectory));
    if (!file) return file.error();
    if (auto s = file->write(text); !s) return s;
    return file->publish();
}

std::vector<ScanRecord> surplus(const std::vector<ScanRecord>& history, const std::string& root,
                                const RetentionPolicy& policy,
                                const std::vector<std::string>& spared, const std::string& host) {
    std::vector<ScanRecord> out;
    if (!policy.keepPerFolder) return out;
    int seen = 0;
    for (const ScanRecord& r : history) {
        if (r.rootPath != root || r.context.host != host) continue;
        // Pinned and spared scans hold their place among the newest.
        if (++seen <= *policy.keepPerFolder) continue;
        if (policy.isPinned(r.id)) continue;
        if (std::find(spared.begin(), spared.end(), r.fileURL) != spared.end()) continue;
        out.push_back(r);
    }
    return out;
}

Status remove(const std::string& storeDirectory, const ScanRecord& record) {
    const std::string dir = platform::FileSystem::absolute(storeDirectory);
    const std::string file = platform::FileSystem::absolute(record.fileURL);
    const std::string name(Path::lastComponent(file));
    // Only a name this store gives: a file that merely ends in ".sqlite" may
    // be someone else's.
    if (Path::parent(file) != dir || name != record.id.toString() + ".sqlite") {
        return Error{"ScanStore", 3, "not a scan file of the store: " + record.fileURL};
    }
    if (auto s = platform::FileSystem::removeRegularFileIn(dir, name); !s) return s;
    for (std::string_view side : kSideFiles) {
        // Usually absent: a closed scan file has folded its log back.
        (void)platform::FileSystem::removeRegularFileIn(dir, name + std::string(side));
    }
    return okStatus();
}

std::vector<ScanRecord> pruneAfterSave(const std::string& storeDirectory, const ScanRecord& saved,
                                       std::vector<std::string> spared) {
    spared.push_back(saved.fileURL);
    const RetentionPolicy policy = read(storeDirectory);
    std::vector<ScanRecord> removed;
    if (!policy.keepPerFolder) return removed;
    for (ScanRecord& r : surplus(ScanStore::historyIn(storeDirectory), saved.rootPath, policy,
                                 spared, saved.context.host)) {
        if (remove(storeDirectory, r)) removed.push_back(std::move(r));
    }
    return removed;
}

} // namespace tb::ScanRetention
