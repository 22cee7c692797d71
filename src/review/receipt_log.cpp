// File layout, one receipt per line after a header line, fields separated by
// tabs, text fields percent-encoded (so a tab or newline in a name cannot
// break a line):
//   tarnbeck-receipts 1
//   ID  NAME  ORIGINAL  TRASHED  BYTES  SECONDS  NANOSECONDS
#include "review/receipt_log.h"

#include <cerrno>
#include <charconv>
#include <chrono>

#include "analysis/protected_paths.h"
#include "base/path.h"
#include "platform/file_system.h"
#include "platform/trash.h"

namespace tb::ReceiptLog {
namespace {

constexpr std::string_view kHeader = "tarnbeck-receipts 1";

std::vector<std::string_view> split(std::string_view line, char sep) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    for (;;) {
        const auto j = line.find(sep, i);
        out.push_back(line.substr(i, j == std::string_view::npos ? line.npos : j - i));
        if (j == std::string_view::npos) return out;
        i = j + 1;
    }
}

template <typename T>
std::optional<T> number(std::string_view s) {
    T v{};
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<OperationReceipt> parseLine(std::string_view line) {
    const auto f = split(line, '\t');
    if (f.size() != 7) return std::nullopt;
    const auto id = Uuid::parse(f[0]);
    const auto bytes = number<std::int64_t>(f[4]);
    const auto seconds = number<std::int64_t>(f[5]);
    const auto nanos = number<std::int64_t>(f[6]);
    if (!id || !bytes || !seconds || !nanos) return std::nullopt;
    OperationReceipt r;
    r.id = *id;
    r.name = platform::decodeTrashPath(f[1]);
    r.originalURL = platform::decodeTrashPath(f[2]);
    r.trashedURL = platform::decodeTrashPath(f[3]);
    r.bytes = *bytes;
    r.succeeded = true;
    r.message = "Moved to Trash.";
    r.time = Date::fromUnix(*seconds, *nanos);
    if (r.originalURL.empty() || r.trashedURL->empty()) return std::nullopt;
    return r;
}

// The item is still in the Trash, and the entry beside it is for this
// item's original path (not another item that took the same name later).
bool stillInTrash(const OperationReceipt& r) {
    if (!platform::FileSystem::values(*r.trashedURL)) return false;
    const auto recorded = platform::originalPathOf(*r.trashedURL);
    if (!recorded) return false;
    return *recorded == Path::standardized(r.originalURL) ||
           *recorded == ProtectedPaths::resolvedPath(r.originalURL);
}

// The file is ours and small; one far larger was not written by us, and
// reading it whole could exhaust memory.
constexpr std::size_t kMaxFileBytes = 64 << 20;

// Another instance holds the lock for one read and one write; one that hangs
// (a stopped process, a stalled disk) must not freeze the interface.
constexpr std::chrono::milliseconds kLockPatience{5000};

// The whole file; nothing when it does not exist, an error when it cannot be
// read or is no plain file of sane size.
Result<std::optional<std::string>> readAll(const std::string& path) {
    auto text = platform::FileSystem::readWhole(path, kMaxFileBytes);
    if (!text) {
        if (text.error().code == ENOENT) return std::optional<std::string>();
        return text.error();
    }
    return std::optional<std::string>(std::move(*text));
}

std::vector<OperationReceipt> parse(std::string_view text) {
    std::vector<OperationReceipt> out;
    const auto lines = split(text, '\n');
    if (lines.empty() || lines[0] != kHeader) return out;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (auto r = parseLine(lines[i]); r && stillInTrash(*r)) out.push_back(std::move(*r));
    }
    return out;
}

std::string format(const std::vector<OperationReceipt>& receipts) {
    std::string text(kHeader);
    text += '\n';
    for (const auto& r : receipts) {
        if (!r.succeeded || !r.trashedURL) continue;
        text += r.id.toString() + '\t' + platform::encodeTrashPath(r.name) + '\t' +
                platform::encodeTrashPath(r.originalURL) + '\t' +
                platform::encodeTrashPath(*r.trashedURL) + '\t' + std::to_string(r.bytes) + '\t' +
                std::to_string(r.time.seconds) + '\t' + std::to_string(r.time.nanoseconds) + '\n';
    }
    return text;
}

} // namespace

std::optional<std::string> defaultPath() {
    const auto data = platform::SpecialFolders::userData();
    if (!data) return std::nullopt;
    return *data + "/Tarnbeck/receipts";
}

std::vector<OperationReceipt> load(const std::string& path) {
    const auto text = readAll(path);
    if (!text || !*text) return {};
    return parse(**text);
}

Status update(const std::string& path, const Change& change) {
    if (auto made = platform::FileSystem::makePrivateDirectories(Path::parent(path)); !made) {
        return made;
    }
    auto held = platform::FileSystem::waitForLock(path + ".lock", kLockPatience);
    if (!held) return held.error();
    const auto text = readAll(path);
    if (!text) return text.error();
    auto onDisk = *text ? parse(**text) : std::vector<OperationReceipt>();
    return platform::FileSystem::replaceContents(path, format(change(std::move(onDisk))));
}

} // namespace tb::ReceiptLog
