// What the writer, the readers and the catalogue of the scan store share
// about one scan file: which tables may be read, its meta rows and the record
// they give, and the names a save in progress leaves in the store directory.
// Internal to store/: callers use store/scan_store.h.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/meta_text.h"
#include "store/scan_record.h"
#include "store/sqlite_db.h"

namespace tb::ScanStore {

// Only plain tables are read: a view, or a virtual table, may run any query
// at all (an endless recursive one, say) each time it is read.
bool isPlainTable(sql::Database& db, std::string_view table);

// The meta rows of one open file; none at all when `meta` is no plain table.
class MetaRows {
public:
    explicit MetaRows(sql::Database& db) : db_(db), readable_(isPlainTable(db, "meta")) {}

    std::optional<std::string> text(std::string_view key) {
        if (!readable_) return std::nullopt;
        auto stmt = db_.prepare("SELECT value FROM meta WHERE key = ?");
        if (!stmt) return std::nullopt;
        stmt->bindText(1, key);
        if (stmt->step() != SQLITE_ROW) return std::nullopt;
        return std::string(stmt->columnText(0));
    }
    // At most `maxBytes` of the value: a file from elsewhere may hold any amount.
    std::optional<std::string> head(std::string_view key, int maxBytes) {
        if (!readable_) return std::nullopt;
        auto stmt = db_.prepare("SELECT substr(CAST(value AS BLOB), 1, ?) FROM meta WHERE key = ?");
        if (!stmt) return std::nullopt;
        stmt->bindInt(1, maxBytes);
        stmt->bindText(2, key);
        if (stmt->step() != SQLITE_ROW) return std::nullopt;
        return std::string(stmt->columnText(0));
    }
    std::int64_t number(std::string_view key) {
        auto t = text(key);
        if (!t) return 0;
        return MetaText::parseDecimal(*t).value_or(0);
    }

private:
    sql::Database& db_;
    bool readable_;
};

// The meta-derived part of a record; `root` is already resolved.
ScanRecord recordFromMeta(MetaRows& meta, const std::string& root);

// A scan being written is hidden and named "." + its id + this suffix, so the
// history never lists it; it gets its real name only once it is complete.
inline constexpr std::string_view kSavingSuffix = ".saving";
// What SQLite may put beside a file.
inline constexpr std::string_view kSideFiles[] = {"-wal", "-shm", "-journal"};

void removeWithSideFiles(const std::string& file);

} // namespace tb::ScanStore
