// File layout, one receipt per line after a header line, fields separated by
// tabs, text fields percent-encoded (so a tab or newline in a name cannot
// break a line):
//   tarnbeck-receipts 1
//   ID  NAME  ORIGINAL  TRASHED  BYTES  SECONDS  NANOSECONDS
#include "review/receipt_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>

#include "analysis/protected_paths.h"
#include "base/path.h"
#include "platform/file_descriptor.h"
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

std::optional<std::string> readAll(const std::string& path) {
    platform::FileDescriptor fd(
        platform::openRetrying(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string out;
    char buf[16384];
    for (;;) {
        const ssize_t n = platform::readRetrying(fd.get(), buf, sizeof buf);
        if (n < 0) return std::nullopt;
        if (n == 0) return out;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

} // namespace

std::optional<std::string> defaultPath() {
    const auto data = platform::SpecialFolders::userData();
    if (!data) return std::nullopt;
    return *data + "/Tarnbeck/receipts";
}

std::vector<OperationReceipt> load(const std::string& path) {
    std::vector<OperationReceipt> out;
    const auto text = readAll(path);
    if (!text) return out;
    const auto lines = split(*text, '\n');
    if (lines.empty() || lines[0] != kHeader) return out;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (auto r = parseLine(lines[i]); r && stillInTrash(*r)) out.push_back(std::move(*r));
    }
    return out;
}

Status save(const std::string& path, const std::vector<OperationReceipt>& receipts) {
    std::string text(kHeader);
    text += '\n';
    for (const auto& r : receipts) {
        if (!r.succeeded || !r.trashedURL) continue;
        text += r.id.toString() + '\t' + platform::encodeTrashPath(r.name) + '\t' +
                platform::encodeTrashPath(r.originalURL) + '\t' +
                platform::encodeTrashPath(*r.trashedURL) + '\t' + std::to_string(r.bytes) + '\t' +
                std::to_string(r.time.seconds) + '\t' + std::to_string(r.time.nanoseconds) + '\n';
    }
    const std::string folder = Path::parent(path);
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        if (i != folder.size() && folder[i] != '/') continue;
        const std::string partial = folder.substr(0, i);
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return Error::posix(errno, partial);
        }
    }
    std::string tmpl = path + ".XXXXXX";
    platform::FileDescriptor fd(::mkostemp(tmpl.data(), O_CLOEXEC)); // mode 0600
    if (!fd.valid()) return Error::posix(errno, folder);
    Status written = platform::writeAll(fd.get(), text);
    if (written && ::fsync(fd.get()) != 0) written = Error::posix(errno);
    if (written && fd.close() != 0) written = Error::posix(errno);
    if (written && ::rename(tmpl.c_str(), path.c_str()) != 0) written = Error::posix(errno);
    if (!written) ::unlink(tmpl.c_str());
    return written;
}

} // namespace tb::ReceiptLog
