#include "platform/app_source_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include "platform/file_descriptor.h"

namespace tb::platform::AppSourceReader {

std::optional<std::string> readSmallFile(const std::string& path, std::size_t maxBytes) {
    // O_NONBLOCK: a FIFO planted where a file is expected must not hang us.
    FileDescriptor file(openRetrying(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) return std::nullopt;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = readRetrying(file.get(), buffer, sizeof buffer);
        if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > maxBytes) return std::nullopt;
        if (n == 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> linkTarget(const std::string& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::optional<std::string> keyFileValue(std::string_view document, std::string_view group,
                                        std::string_view key) {
    bool inGroup = false;
    while (!document.empty()) {
        const std::size_t nl = document.find('\n');
        std::string_view line = document.substr(0, nl);
        document.remove_prefix(nl == std::string_view::npos ? document.size() : nl + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            if (inGroup) return std::nullopt; // the group has ended
            inGroup = line.size() == group.size() + 2 && line.substr(1, group.size()) == group &&
                      line.back() == ']';
            continue;
        }
        if (!inGroup) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view k = line.substr(0, eq);
        while (!k.empty() && k.back() == ' ')
            k.remove_suffix(1);
        if (k != key) continue;
        std::string_view v = line.substr(eq + 1);
        while (!v.empty() && v.front() == ' ')
            v.remove_prefix(1);
        return std::string(v);
    }
    return std::nullopt;
}

std::vector<std::string> keyFileGroups(std::string_view document) {
    std::vector<std::string> out;
    while (!document.empty()) {
        const std::size_t nl = document.find('\n');
        std::string_view line = document.substr(0, nl);
        document.remove_prefix(nl == std::string_view::npos ? document.size() : nl + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            out.emplace_back(line.substr(1, line.size() - 2));
        }
    }
    return out;
}

DesktopEntry parseDesktopEntry(std::string_view document) {
    constexpr std::string_view group = "Desktop Entry";
    const auto value = [&](std::string_view key) {
        return keyFileValue(document, group, key).value_or("");
    };
    DesktopEntry e;
    e.name = value("Name");
    e.type = value("Type");
    e.hidden = value("Hidden") == "true";
    e.noDisplay = value("NoDisplay") == "true";
    e.flatpak = value("X-Flatpak");
    e.snap = value("X-SnapInstanceName");
    e.exec = value("Exec");
    return e;
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path) {
    auto bytes = readSmallFile(path);
    if (!bytes) return std::nullopt;
    return parseDesktopEntry(*bytes);
}

} // namespace tb::platform::AppSourceReader
