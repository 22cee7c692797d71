#include "store/sqlite_db.h"

#include <sys/stat.h>

#include "base/path.h"
#include "platform/file_system.h"

#include <sqlite3.h>

namespace tb::sql {
namespace {

constexpr const char* kDomain = "ScanStore";
constexpr int kOpenFailed = 1;
constexpr int kStatementFailed = 2;

} // namespace

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        finalize();
        stmt_ = other.stmt_;
        other.stmt_ = nullptr;
    }
    return *this;
}

void Statement::bindText(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Statement::bindTextInPlace(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void Statement::bindNull(int index) {
    sqlite3_bind_null(stmt_, index);
}
void Statement::bindInt(int index, int value) {
    sqlite3_bind_int(stmt_, index, value);
}
void Statement::bindInt64(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, static_cast<sqlite3_int64>(value));
}
void Statement::bindDouble(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
}
void Statement::reset() {
    sqlite3_reset(stmt_);
}
void Statement::clearBindings() {
    sqlite3_clear_bindings(stmt_);
}
int Statement::step() {
    return sqlite3_step(stmt_);
}

std::string_view Statement::columnText(int index) const {
    // Text first, then its length: the order the SQLite documentation asks for.
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
    if (!text) return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, index))};
}

std::int64_t Statement::columnInt64(int index) const {
    return sqlite3_column_int64(stmt_, index);
}
double Statement::columnDouble(int index) const {
    return sqlite3_column_double(stmt_, index);
}
bool Statement::columnIsNull(int index) const {
    return sqlite3_column_type(stmt_, index) == SQLITE_NULL;
}

void Statement::finalize() {
    if (stmt_) sqlite3_finalize(stmt_);
    stmt_ = nullptr;
}

Result<Database> Database::open(const std::string& file, Mode mode) {
    // Each connection is used by one thread only, so SQLite's own mutexes are
    // not needed.
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |=
        mode == Mode::readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    // A relative name would become a URL with a host below.
    const std::string path = platform::FileSystem::absolute(file);
    std::string name = path;
    if (mode == Mode::readOnly) {
        // Whatever lies in the store folder is looked at before SQLite opens
        // it: a FIFO would block the caller for good.
        if (auto f = platform::FileSystem::openRegular(path); !f) {
            return Error{kDomain, kOpenFailed, f.error().message};
        }
        // A finished scan file never changes again. Reading it as immutable
        // keeps readers from leaving empty -wal and -shm files beside every
        // scan; a file whose log was never folded back is read the ordinary
        // way so that nothing in the log is missed.
        struct stat st {};
        if (::stat((path + "-wal").c_str(), &st) != 0) {
            name = Path::fileUrl(path) + "?immutable=1";
            flags |= SQLITE_OPEN_URI;
        }
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK || !db) {
        // A handle is returned even on most failures and must still be closed.
        if (db) sqlite3_close(db);
        return Error{kDomain, kOpenFailed, sqlite3_errstr(rc)};
    }
    // A forged schema must not get to run functions with side effects. (The
    // writer cannot be defensive: that mode refuses journal_mode=OFF.)
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    if (mode == Mode::readOnly) sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    return Database(db);
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        db_ = other.db_;
        other.db_ = nullptr;
    }
    return *this;
}

Status Database::exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        return statementError();
    }
    return okStatus();
}

Result<Statement> Database::prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        if (stmt) sqlite3_finalize(stmt);
        return statementError();
    }
    return Statement(stmt);
}

std::string Database::errorMessage() const {
    return db_ ? sqlite3_errmsg(db_) : "no connection";
}

Error Database::statementError() const {
    return Error{kDomain, kStatementFailed, errorMessage()};
}

void Database::stopWhen(const std::stop_token& stop) {
    if (!db_) return;
    // Asked every few thousand steps of the virtual machine: cheap, and soon
    // enough for a search that a new keystroke made useless.
    sqlite3_progress_handler(
        db_, 4096,
        [](void* token) {
            return static_cast<const std::stop_token*>(token)->stop_requested() ? 1 : 0;
        },
        const_cast<std::stop_token*>(&stop));
}

void Database::close() {
    // sqlite3_close_v2 defers the close until every statement is finalized, so a
    // statement outliving its connection object cannot leak the handle.
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

Result<Transaction> Transaction::begin(Database& db) {
    if (auto s = db.exec("BEGIN"); !s) return s.error();
    return Transaction(&db);
}

Transaction::~Transaction() {
    if (db_) (void)db_->exec("ROLLBACK");
}

Status Transaction::commit() {
    Database* db = db_;
    db_ = nullptr;
    return db->exec("COMMIT");
}

} // namespace tb::sql
