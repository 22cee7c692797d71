// The catalogue: the records of the stored scans (clearing what killed saves
// left behind) and the search within one scan file.
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "base/path.h"
#include "platform/file_system.h"
#include "store/query_text.h"
#include "store/scan_file.h"
#include "store/scan_store.h"
#include "store/sqlite_db.h"

namespace tb::ScanStore {
namespace {

using sql::Database;
using sql::Statement;

constexpr std::string_view kSearch =
    "SELECT name, path, allocated FROM nodes WHERE name LIKE ? COLLATE NOCASE OR path LIKE ? "
    "COLLATE NOCASE ORDER BY allocated DESC LIMIT ?";
constexpr std::string_view kSearchNames =
    "SELECT name, path, allocated, is_dir FROM nodes WHERE name LIKE ? COLLATE NOCASE "
    "ORDER BY allocated DESC LIMIT ?";
// A folder's contents: the paths after "F/" and before "F0" ('0' follows '/').
constexpr std::string_view kSearchInside =
    "SELECT name, path, allocated FROM nodes WHERE path > ? AND path < ? "
    "ORDER BY allocated DESC LIMIT ?";

} // namespace

std::optional<ScanRecord> record(const std::string& file) {
    auto db = Database::open(file, Database::Mode::readOnly);
    if (!db) return std::nullopt;
    const std::string_view fileName = Path::lastComponent(file);
    const std::string_view ext = Path::extension(file);
    const std::string_view stem =
        ext.empty() ? fileName : fileName.substr(0, fileName.size() - ext.size() - 1);

    MetaRows meta(*db);
    const std::string root = meta.text("root").value_or(std::string(stem));
    ScanRecord r = recordFromMeta(meta, root);
    auto values = platform::FileSystem::values(file);
    r.finished = values ? values->modified : Date::now();
    r.id = Uuid::parse(stem).value_or(Uuid::random());
    r.fileURL = file;
    return r;
}

std::vector<ScanRecord> history() {
    return historyIn(directory());
}

namespace {

// What a killed save left behind: the hidden temporary file and its side
// files. A temporary that another instance still writes is locked by it and
// stays.
void removeAbandonedSaves(const std::string& dir, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (name.empty() || name.front() != '.') continue;
        std::string_view base(name);
        for (std::string_view side : kSideFiles) {
            if (base.ends_with(side)) base.remove_suffix(side.size());
        }
        if (!base.ends_with(kSavingSuffix)) continue;
        const std::string file = Path::appending(dir, base);
        if (base.size() == name.size()) {
            if (auto lock = platform::FileSystem::tryLock(file)) removeWithSideFiles(file);
        } else if (!platform::FileSystem::exists(file).exists) {
            // A side file whose main file is gone already.
            ::unlink(Path::appending(dir, name).c_str());
        }
    }
}

// What a killed save left of its staging folder: the folder goes with the
// files in it, unless the save that made it still holds its lock.
void removeAbandonedStaging(const std::string& dir, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (!name.starts_with(kStagingPrefix)) continue;
        const std::string folder = Path::appending(dir, name);
        auto lock = platform::FileSystem::tryLockFolder(folder);
        if (!lock) continue;
        if (auto inside = platform::FileSystem::listNames(folder)) {
            // unlink leaves a folder alone: a save stages files only.
            for (const std::string& entry : *inside)
                ::unlink(Path::appending(folder, entry).c_str());
        }
        ::rmdir(folder.c_str());
    }
}

} // namespace

std::vector<ScanRecord> historyIn(const std::string& storeDirectory) {
    std::vector<ScanRecord> records;
    auto names = platform::FileSystem::listNames(storeDirectory);
    if (!names) return records;
    removeAbandonedSaves(storeDirectory, *names);
    removeAbandonedStaging(storeDirectory, *names);
    for (const std::string& name : *names) {
        // Case-sensitive: the write-ahead log and other side files drop out here.
        if (Path::extension(name) != "sqlite") continue;
        if (auto r = record(Path::appending(storeDirectory, name))) {
            records.push_back(std::move(*r));
        }
    }
    std::stable_sort(records.begin(), records.end(), [](const ScanRecord& a, const ScanRecord& b) {
        return a.finished > b.finished;
    });
    return records;
}

namespace {

StoredHit hitOf(const Statement& row) {
    return {std::string(row.columnText(0)), std::string(row.columnText(1)),
            std::max<std::int64_t>(0, row.columnInt64(2))};
}

// Every row whose path holds the pattern: one pass testing each path.
std::vector<StoredHit> searchPaths(Database& db, const std::string& pattern, int limit) {
    std::vector<StoredHit> hits;
    auto select = db.prepare(kSearch);
    if (!select) return hits;
    select->bindText(1, pattern);
    select->bindText(2, pattern);
    select->bindInt(3, limit);
    while (select->step() == SQLITE_ROW)
        hits.push_back(hitOf(*select));
    return hits;
}

// The same answer for a query without "/" below a root whose own path lacks
// it. Such a query lies within one name, so a path holds it when a name on
// it does: the rows found by name, and the contents of the folders among
// them. Only the largest `limit` are wanted, and nothing inside a folder is
// larger than the folder, so only the folders among those need opening.
std::optional<std::vector<StoredHit>> searchNames(Database& db, const std::string& pattern,
                                                  int limit) {
    auto names = db.prepare(kSearchNames);
    auto inside = db.prepare(kSearchInside);
    if (!names || !inside) return std::nullopt;
    names->bindText(1, pattern);
    names->bindInt(2, limit);
    std::vector<StoredHit> hits;
    std::vector<std::string> folders;
    while (names->step() == SQLITE_ROW) {
        hits.push_back(hitOf(*names));
        if (names->columnInt64(3) == 1) folders.push_back(hits.back().path);
    }
    std::unordered_set<std::string> listed;
    for (const StoredHit& h : hits)
        listed.insert(h.path);
    for (const std::string& folder : folders) {
        inside->reset();
        inside->bindText(1, folder + "/");
        inside->bindText(2, folder + "0");
        inside->bindInt(3, limit);
        while (inside->step() == SQLITE_ROW) {
            StoredHit hit = hitOf(*inside);
            if (listed.insert(hit.path).second) hits.push_back(std::move(hit));
        }
    }
    std::stable_sort(hits.begin(), hits.end(), [](const StoredHit& a, const StoredHit& b) {
        return a.allocatedSize > b.allocatedSize;
    });
    if (hits.size() > std::size_t(std::max(limit, 0))) hits.resize(std::size_t(std::max(limit, 0)));
    return hits;
}

// Whether the text holds the pattern as the path test reads it.
bool holds(Database& db, std::string_view text, const std::string& pattern) {
    auto like = db.prepare("SELECT ? LIKE ?");
    if (!like) return true;
    like->bindText(1, text);
    like->bindText(2, pattern);
    return like->step() != SQLITE_ROW || like->columnInt64(0) != 0;
}

} // namespace

std::vector<StoredHit> search(const ScanRecord& record, const std::string& query, int limit,
                              std::stop_token stop) {
    std::vector<StoredHit> hits;
    std::string cleaned(QueryText::trimmed(query));
    if (cleaned.empty()) return hits;
    // "%" and "_" would be wildcards in the pattern.
    std::erase_if(cleaned, [](char c) { return c == '%' || c == '_'; });
    if (cleaned.empty()) return hits;

    auto db = Database::open(record.fileURL, Database::Mode::readOnly);
    if (!db || !isPlainTable(*db, "nodes")) return hits;
    if (stop.stop_possible()) db->stopWhen(stop);
    const std::string pattern = "%" + cleaned + "%";
    std::optional<std::vector<StoredHit>> found;
    if (cleaned.find('/') == std::string::npos) {
        // Without a root path to test, every path is tested.
        const std::optional<std::string> root = MetaRows(*db).text("root");
        if (root && !root->empty() && !holds(*db, *root, pattern)) {
            found = searchNames(*db, pattern, limit);
        }
    }
    if (!found) found = searchPaths(*db, pattern, limit);
    if (stop.stop_requested()) return hits;
    return std::move(*found);
}

} // namespace tb::ScanStore
