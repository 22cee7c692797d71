// A thin RAII layer over the SQLite C API: a connection, a prepared statement
// and a transaction, each move-only, so that every exit path finalizes and
// closes. Text is bound and read by byte length: paths are raw bytes and must
// round-trip unchanged. One object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tb::sql {

class Statement {
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    Statement(Statement&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { finalize(); }

    // Parameters count from 1, columns from 0, as in SQLite.
    void bindText(int index, std::string_view text); // a copy
    // Not copied: the bytes must stay put until the next step or reset.
    void bindTextInPlace(int index, std::string_view text);
    void bindNull(int index);
    void bindInt(int index, int value);
    void bindInt64(int index, std::int64_t value);
    void bindDouble(int index, double value);
    void reset();
    void clearBindings();
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();

    // Valid until the next step, reset or finalize; NULL reads as "".
    std::string_view columnText(int index) const;
    std::int64_t columnInt64(int index) const;
    double columnDouble(int index) const;
    bool columnIsNull(int index) const;

    void finalize();

private:
    sqlite3_stmt* stmt_ = nullptr;
};

class Database {
public:
    enum class Mode { readOnly, create };

    // Errors: domain "ScanStore", code 1, when the file cannot be opened.
    static Result<Database> open(const std::string& path, Mode mode);

    Database(Database&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() { close(); }

    // Runs a script of statements; code 2 with SQLite's message on failure.
    Status exec(const std::string& sql);
    // Code 2 with SQLite's message on failure.
    Result<Statement> prepare(std::string_view sql);
    // SQLite's message for the last failure on this connection.
    std::string errorMessage() const;
    Error statementError() const;

    // Statements on this connection give up, as if they had failed, once a
    // stop is requested. The token must outlive the connection's last use.
    void stopWhen(const std::stop_token& stop);

    void close();

private:
    explicit Database(sqlite3* db) : db_(db) {}
    sqlite3* db_ = nullptr;
};

// BEGIN on construction through `begin`; rolled back on destruction unless
// committed, so an early return never leaves a half-written transaction open.
class Transaction {
public:
    static Result<Transaction> begin(Database& db);
    Transaction(Transaction&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
    Transaction& operator=(Transaction&&) = delete;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();

    Status commit();

private:
    explicit Transaction(Database* db) : db_(db) {}
    Database* db_ = nullptr;
};

} // namespace tb::sql
