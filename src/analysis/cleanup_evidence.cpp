#include "analysis/cleanup_evidence.h"

#include <algorithm>

#include "base/path.h"
#include "platform/file_system.h"
#include "platform/process_runner.h"

namespace tb {

SystemDiskEvidence::SystemDiskEvidence(const platform::ProcessRunner& runner, std::string git,
                                       std::chrono::milliseconds limit)
    : runner_(runner), git_(std::move(git)), limit_(limit) {}

std::optional<std::string> SystemDiskEvidence::head(const std::string& path,
                                                    std::size_t maxBytes) const {
    auto bytes = platform::FileSystem::readHead(path, maxBytes);
    if (!bytes) return std::nullopt;
    return std::move(*bytes);
}

std::optional<std::string> SystemDiskEvidence::workTreeOf(const std::string& path) const {
    for (std::string dir = Path::standardized(path);;) {
        // A worktree or a submodule has a ".git" file, not a folder.
        if (platform::FileSystem::values(Path::appending(dir, ".git"))) return dir;
        const std::string up = Path::parent(dir);
        if (up == dir) return std::nullopt;
        dir = up;
    }
}

std::optional<std::vector<std::string>> SystemDiskEvidence::trackedFiles(
    const std::string& workTree) const {
    // A repository's own configuration may name a program for git to run
    // (a file-system monitor): listing the index must not start it.
    auto out = platform::runWithin(
        runner_, git_, {"-c", "core.fsmonitor=false", "-C", workTree, "ls-files", "-z"}, limit_);
    if (!out || out->exitStatus != 0) return std::nullopt;
    std::vector<std::string> files;
    const std::string& all = out->standardOutput;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = std::min(all.find('\0', start), all.size());
        if (end > start) files.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    std::sort(files.begin(), files.end());
    return files;
}

const DiskEvidence& systemDiskEvidence() {
    static const SystemDiskEvidence evidence(platform::systemProcessRunner());
    return evidence;
}

bool TrackedPaths::holdsTracked(const std::string& path) {
    const auto root = evidence_.workTreeOf(path);
    if (!root) return false;
    auto it = byWorkTree_.find(*root);
    if (it == byWorkTree_.end()) {
        if (byWorkTree_.size() >= maxWorkTrees_) return false;
        it = byWorkTree_.emplace(*root, evidence_.trackedFiles(*root)).first;
    }
    if (!it->second) return false;
    const std::vector<std::string>& files = *it->second;
    const std::string p = Path::standardized(path);
    if (p == *root) return !files.empty();
    const std::string relative = p.substr(*root == "/" ? 1 : root->size() + 1);
    const auto exact = std::lower_bound(files.begin(), files.end(), relative);
    if (exact != files.end() && *exact == relative) return true;
    const std::string inside = relative + "/";
    const auto first = std::lower_bound(files.begin(), files.end(), inside);
    return first != files.end() && first->starts_with(inside);
}

namespace CleanupEvidence {

std::optional<std::string> cacheTagText(std::string_view bytes) {
    if (!bytes.starts_with(cacheTagSignature)) return std::nullopt;
    constexpr std::size_t maxLength = 200;
    std::string text;
    bool space = false;
    for (char c : bytes.substr(cacheTagSignature.size())) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ' ') {
            space = !text.empty();
            continue;
        }
        if (space) text += ' ';
        space = false;
        text += c;
        if (text.size() > maxLength) break;
    }
    if (text.size() > maxLength) {
        std::size_t cut = maxLength;
        // Never end inside a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
        text += "\xE2\x80\xA6";
    }
    return text;
}

bool isElfCore(std::string_view head) {
    if (head.size() < 18 || !head.starts_with("\x7f"
                                              "ELF"))
        return false;
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(head[i]));
    };
    const unsigned type = head[5] == 2 ? (byte(16) << 8) | byte(17) : byte(16) | (byte(17) << 8);
    return type == 4;
}

bool hasCoreName(std::string_view name) {
    if (name == "core") return true;
    if (name.starts_with("core.")) {
        const auto digits = name.substr(5);
        return !digits.empty() && std::all_of(digits.begin(), digits.end(),
                                              [](char c) { return c >= '0' && c <= '9'; });
    }
    return name.size() > 5 && name.ends_with(".core");
}

std::vector<RecordEntry> parseRecord(std::string_view document) {
    std::vector<RecordEntry> entries;
    while (!document.empty()) {
        const std::size_t nl = std::min(document.find('\n'), document.size());
        std::string_view line = document.substr(0, nl);
        document.remove_prefix(std::min(nl + 1, document.size()));
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) continue;
        RecordEntry e;
        std::size_t i = 0;
        if (line[0] == '"') {
            // CSV quoting, for names holding a comma or a quote.
            for (i = 1; i < line.size(); ++i) {
                if (line[i] != '"') {
                    e.path += line[i];
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    e.path += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            i = std::min(line.find(','), line.size());
            e.path = std::string(line.substr(0, i));
        }
        const std::size_t last = line.rfind(',');
        if (last != std::string_view::npos && last >= i) {
            const auto size = line.substr(last + 1);
            if (!size.empty() && size.size() < 19 &&
                std::all_of(size.begin(), size.end(),
                            [](char c) { return c >= '0' && c <= '9'; })) {
                e.size = std::stoll(std::string(size));
            }
        }
        if (!e.path.empty()) entries.push_back(std::move(e));
    }
    return entries;
}

std::string listed(const std::vector<std::string>& names, std::size_t shown) {
    std::string out;
    const std::size_t n = std::min(names.size(), shown);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) out += (i + 1 == n && names.size() <= shown) ? " and " : ", ";
        out += names[i];
    }
    if (names.size() > shown) out += " and " + std::to_string(names.size() - shown) + " more";
    return out;
}

} // namespace CleanupEvidence

} // namespace tb
