#include "analysis/snapshot_service.h"

#include "analysis/text.h"
#include "platform/process_runner.h"

namespace tb::SnapshotService {
namespace {

// Length of the line break at `i`, or 0: LF, VT, FF, CR, and the UTF-8
// encodings of NEL (U+0085), LS (U+2028) and PS (U+2029).
std::size_t lineBreakAt(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x0A && c <= 0x0D) return 1;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x85) return 2;
    if (c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80) {
        const unsigned char d = static_cast<unsigned char>(s[i + 2]);
        if (d == 0xA8 || d == 0xA9) return 3;
    }
    return 0;
}

} // namespace

std::vector<SnapshotInfo> parseListing(std::string_view output) {
    std::vector<SnapshotInfo> snapshots;
    if (!text::isValidUtf8(output)) return snapshots;
    const auto take = [&](std::string_view line) {
        if (line.empty() || line.find(marker) == std::string_view::npos) return;
        snapshots.push_back({std::string(line), std::string(line)});
    };
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < output.size()) {
        if (const std::size_t len = lineBreakAt(output, i)) {
            take(output.substr(start, i - start));
            i += len;
            start = i;
        } else {
            ++i;
        }
    }
    take(output.substr(start));
    return snapshots;
}

std::vector<SnapshotInfo> listLocal(const platform::ProcessRunner& runner, std::stop_token stop) {
    auto result = runner.run(std::string(tool), {"listlocalsnapshots", "/"}, stop);
    if (!result) return {};
    return parseListing(result->standardOutput);
}

std::vector<SnapshotInfo> listLocal(std::stop_token stop) {
    return listLocal(platform::systemProcessRunner(), stop);
}

} // namespace tb::SnapshotService
