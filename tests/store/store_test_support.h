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

using Rows = std::vector<std::vector<std::string>>;

class RawDb {
public:
    explicit RawDb(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("open");
    }
    ~RawDb() { sqlite3_close(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void exec(const std::string& sql, int (*row)(void*, int, char**, char**) = nullptr,
              void* rows = nullptr) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), row, rows, &err) != SQLITE_OK) {
            std::string msg = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(msg + " in " + sql);
        }
    }
    // Every row as text columns; NULL becomes "<null>".
    Rows rows(const std::string& sql) {
        Rows out;
        exec(
            sql,
            [](void* to, int n, char** values, char**) {
                auto& row = static_cast<Rows*>(to)->emplace_back();
                for (int i = 0; i < n; ++i)
                    row.emplace_back(values[i] ? values[i] : "<null>");
                return 0;
            },
            &out);
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

class StoreTest : public ::testing::Test {
protected:
    TempHome home;
    TreeBuilder b;
};

// A one-file scan of `root` saved in `store`, its file dated `when` if given.
inline ScanRecord storedScan(const std::string& store, const std::string& root,
                             std::int64_t when = 0) {
    TreeBuilder b(root);
    b.file(root + "/f", 4096);
    b.rollUp();
    auto saved = ScanStore::saveIn(store, b.forest(testContext(root, 1000), 0, 2), root);
    if (!saved) throw std::runtime_error(saved.error().message);
    if (when) setModified(saved->fileURL, when);
    return *saved;
}

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
        return {.rootPath = root, .fileURL = file};
    }
};

} // namespace tb::test
