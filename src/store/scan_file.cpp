#include "store/scan_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include "base/path.h"
#include "platform/file_system.h"
#include "store/scan_store.h"

namespace tb::ScanStore {
namespace {

// Room for the items a context keeps, at a generous length each.
constexpr int kLeftOutBytes = 8 << 20;
constexpr int kHostBytes = 1024;

} // namespace

bool isPlainTable(sql::Database& db, std::string_view table) {
    auto stmt = db.prepare("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?");
    if (!stmt) return false;
    stmt->bindText(1, table);
    if (stmt->step() != SQLITE_ROW) return false;
    const std::string_view sql = stmt->columnText(0);
    constexpr std::string_view kVirtual = "CREATE VIRTUAL";
    return sql.size() < kVirtual.size() ||
           sqlite3_strnicmp(sql.data(), kVirtual.data(), int(kVirtual.size())) != 0;
}

ScanRecord recordFromMeta(MetaRows& meta, const std::string& root) {
    ScanRecord r;
    r.rootPath = root;
    r.scannedBytes = meta.number("scanned");
    r.unreadable = meta.number("unreadable");
    r.context.rootPath = root;
    if (auto scope = meta.text("scope")) {
        r.context.scope = scanScopeKind(*scope).value_or(ScanScopeKind::selectedFolder);
    } else {
        r.context.scope = root == "/" ? ScanScopeKind::volume : ScanScopeKind::selectedFolder;
    }
    r.context.volumeName = meta.text("volume_name").value_or(root);
    r.context.volumeCapacity = meta.number("volume_capacity");
    auto complete = meta.text("complete");
    r.context.complete = !(complete && *complete == "0");
    // Files written before the choice existed counted every name.
    auto links = meta.text("hard_links");
    r.context.hardLinks =
        links ? hardLinkMode(*links).value_or(HardLinkMode::every) : HardLinkMode::every;
    if (auto leftOut = meta.head("left_out", kLeftOutBytes)) {
        MetaText::readLeftOut(*leftOut, r.context);
    }
    r.context.host = meta.head("host", kHostBytes).value_or("");
    r.context.createdAt = Date::now();
    return r;
}

void removeWithSideFiles(const std::string& file) {
    ::unlink(file.c_str());
    for (std::string_view side : kSideFiles)
        ::unlink((file + std::string(side)).c_str());
}

std::string directory() {
    const std::string base =
        platform::SpecialFolders::userData().value_or(platform::SpecialFolders::temporary());
    const std::string ours = Path::appending(base, "Tarnbeck");
    std::string dir = Path::appending(ours, "scans");
    // Created on every call; a failure shows later as a failed save.
    if (platform::FileSystem::makePrivateDirectories(dir)) {
        // Folders an older version made readable to everyone are closed up.
        ::chmod(ours.c_str(), 0700);
        ::chmod(dir.c_str(), 0700);
    }
    return dir;
}

} // namespace tb::ScanStore
