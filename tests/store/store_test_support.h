// Plain SQL access to scan files, and files forged with it, for the store's tests.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "store/scan_store.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb::test {

// A raw connection for checking and forging files with plain SQL.
class RawDb {
public:
    explicit RawDb(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("open");
    }
    ~RawDb() { sqlite3_close(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string msg = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(msg + " in " + sql);
        }
    }
    // Every row as text columns; NULL becomes "<null>".
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
        std::vector<std::vector<std::string>> out;
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_NULL) {
                    row.push_back("<null>");
                    continue;
                }
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                row.emplace_back(t, std::size_t(sqlite3_column_bytes(st, i)));
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(st);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

inline const char* kScanTables =
    "CREATE TABLE nodes (path TEXT PRIMARY KEY, parent TEXT, name TEXT NOT NULL, "
    "is_dir INTEGER NOT NULL, logical INTEGER NOT NULL, allocated INTEGER NOT NULL, "
    "mtime REAL NOT NULL, inode INTEGER NOT NULL, may_share INTEGER NOT NULL, "
    "unreadable INTEGER NOT NULL);"
    "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);";

// Scan files forged with plain SQL, for what the writer never produces.
class ForgedScan : public ::testing::Test {
protected:
    TempHome home;
    std::string file = ScanStore::directory() + "/" + Uuid::random().toString() + ".sqlite";

    void forge(const std::string& sql) {
        RawDb db(file);
        db.exec(kScanTables);
        db.exec(sql);
    }
    ScanRecord record(const std::string& root = "/r") {
        ScanRecord r;
        r.rootPath = root;
        r.fileURL = file;
        return r;
    }
};

} // namespace tb::test
