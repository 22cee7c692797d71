#include "app/opening.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/terminal_text.h"
#include "interchange/scan_files.h"
#include "store/scan_store.h"

namespace tb {
namespace {

// Names on standard error can hold anything: no byte of theirs may reach the
// terminal as a control.
std::string shown(std::string_view text) {
    return TerminalText::escaped(text);
}

bool endsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

std::optional<Opening> resolveOpening(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (::realpath(path.c_str(), resolved) == nullptr || ::stat(resolved, &st) != 0) {
        std::fprintf(stderr, "tarnbeck: cannot open '%s': %s\n", shown(path).c_str(),
                     std::strerror(errno));
        return std::nullopt;
    }
    if (S_ISDIR(st.st_mode)) return Opening{std::string(resolved), std::nullopt};
    const std::string file(resolved);
    if (endsWith(file, ".sqlite")) {
        auto record = ScanStore::record(file);
        if (record && ScanStore::holdsRoot(*record)) return Opening{std::nullopt, *record};
    } else if (endsWith(file, ".json") || endsWith(file, ".json.gz") || endsWith(file, ".gz")) {
        auto summary = ScanFiles::importExport(file, ScanStore::directory());
        if (summary) return Opening{std::nullopt, summary->record};
        std::fprintf(stderr, "tarnbeck: %s\n", shown(summary.error().message).c_str());
        return std::nullopt;
    }
    std::fprintf(stderr, "tarnbeck: cannot open '%s': not a folder, a scan file or an export\n",
                 shown(path).c_str());
    return std::nullopt;
}

} // namespace tb
