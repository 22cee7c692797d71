// The writer: a forest into a new scan file, written under a hidden locked
// name and renamed into place only once complete.
#include <cerrno>
#include <cstring>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "base/path.h"
#include "platform/file_system.h"
#include "store/scan_file.h"
#include "store/scan_store.h"
#include "store/sqlite_db.h"

namespace tb::ScanStore {
namespace {

using sql::Database;
using sql::Statement;

constexpr const char* kCreateTables =
    "CREATE TABLE nodes (\n"
    "    path TEXT PRIMARY KEY,\n"
    "    parent TEXT,\n"
    "    name TEXT NOT NULL,\n"
    "    is_dir INTEGER NOT NULL,\n"
    "    logical INTEGER NOT NULL,\n"
    "    allocated INTEGER NOT NULL,\n"
    "    mtime REAL NOT NULL,\n"
    "    inode INTEGER NOT NULL,\n"
    "    may_share INTEGER NOT NULL,\n"
    "    unreadable INTEGER NOT NULL\n"
    ");\n"
    "CREATE TABLE meta (\n"
    "    key TEXT PRIMARY KEY,\n"
    "    value TEXT NOT NULL\n"
    ");";

constexpr std::string_view kInsertNodeHead =
    "INSERT INTO nodes(path, parent, name, is_dir, logical, allocated, mtime, inode, "
    "may_share, unreadable) VALUES ";

std::string metaInsert(const ScanForest& forest, const std::string& root) {
    const ScanContext& c = forest.context();
    const std::pair<const char*, std::string> rows[] = {
        {"root", MetaText::quoted(root)},
        {"unreadable", "'" + std::to_string(forest.unreadable()) + "'"},
        {"visited", "'" + std::to_string(forest.visited()) + "'"},
        {"scanned", "'" + std::to_string(forest.root()->allocatedSize()) + "'"},
        {"schema", "'2'"},
        {"scope", "'" + std::string(rawValue(c.scope)) + "'"},
        {"volume_name", MetaText::quoted(c.volumeName)},
        {"volume_capacity", "'" + std::to_string(c.volumeCapacity) + "'"},
        {"complete", c.complete ? "'1'" : "'0'"},
        {"hard_links", "'" + std::string(rawValue(c.hardLinks)) + "'"},
    };
    std::string sql = "INSERT INTO meta(key, value) VALUES\n";
    bool first = true;
    std::vector<std::pair<const char*, std::string>> all(std::begin(rows), std::end(rows));
    // Only a scan of another machine names one.
    if (c.isRemote()) all.emplace_back("host", MetaText::quoted(c.host));
    // Only a scan that left something out says so.
    if (!c.excludePatterns.empty() || c.leftOutCount > 0) {
        all.emplace_back("left_out", MetaText::quoted(MetaText::leftOutText(c)));
    }
    for (const auto& [key, value] : all) {
        if (!first) sql += ",\n";
        first = false;
        sql += "('";
        sql += key;
        sql += "', ";
        sql += value;
        sql += ")";
    }
    sql += ";";
    return sql;
}

// Rows go in by the batch: one statement keeps its cursors open across its
// rows, so each row of the path index starts where the last one ended
// instead of seeking down from the root, and the per-statement work is paid
// once per batch. The texts are bound in place: the batch's own buffers
// (rebuilt paths) and the arena (names) hold them until the batch is written.
class RowBatch {
public:
    static constexpr int kRows = 64;
    static constexpr int kColumns = 10;

    explicit RowBatch(Database& db) : db_(db) {}

    Status add(const ScanNode* node, const ScanNode* parent, const std::string& parentPath) {
        const int i = count_;
        paths_[i].clear();
        node->appendPath(paths_[i]);
        if (parent) parents_[i] = parentPath;
        rows_[i] = {node, parent != nullptr};
        return ++count_ == kRows ? flush() : okStatus();
    }

    // Writes what is left: a short batch gets a statement of its own length.
    Status finish() { return count_ ? flush() : okStatus(); }

private:
    struct Row {
        const ScanNode* node;
        bool hasParent;
    };

    Status flush() {
        std::optional<Statement>& stmt = count_ == kRows ? full_ : partial_;
        if (!stmt) {
            auto prepared = db_.prepare(insertSql(count_));
            if (!prepared) return prepared.error();
            stmt.emplace(std::move(*prepared));
        }
        stmt->reset();
        for (int i = 0; i < count_; ++i)
            bindRow(*stmt, i * kColumns, i);
        count_ = 0;
        if (stmt->step() != SQLITE_DONE) return db_.statementError();
        // A short batch only ever comes last.
        if (&stmt == &partial_) partial_.reset();
        return okStatus();
    }

    void bindRow(Statement& insert, int base, int i) const {
        const ScanNode* node = rows_[i].node;
        insert.bindTextInPlace(base + 1, paths_[i]);
        if (rows_[i].hasParent) {
            insert.bindTextInPlace(base + 2, parents_[i]);
        } else {
            insert.bindNull(base + 2);
        }
        insert.bindTextInPlace(base + 3, node->name());
        insert.bindInt(base + 4, node->isDirectory() ? 1 : 0);
        insert.bindInt64(base + 5, node->logicalSize());
        insert.bindInt64(base + 6, node->allocatedSize());
        insert.bindDouble(base + 7, node->modified().unixSeconds());
        // SQLite integers are signed: keep the inode's bit pattern.
        insert.bindInt64(base + 8, static_cast<std::int64_t>(node->inode()));
        insert.bindInt(base + 9, node->mayShareBlocks() ? 1 : 0);
        insert.bindInt(base + 10, node->unreadable() ? 1 : 0);
    }

    static std::string insertSql(int rows) {
        std::string sql(kInsertNodeHead);
        for (int i = 0; i < rows; ++i)
            sql += i ? ",(?,?,?,?,?,?,?,?,?,?)" : "(?,?,?,?,?,?,?,?,?,?)";
        return sql;
    }

    Database& db_;
    std::optional<Statement> full_, partial_;
    std::array<std::string, kRows> paths_, parents_;
    std::array<Row, kRows> rows_{};
    int count_ = 0;
};

// Every row in byte order of its path, so that the path index only ever
// grows at its end. Paths of one subtree are contiguous in that order, but a
// folder's own row is not next to them: "a" < "a-b" < "a/x" ('-' < '/'). So
// each folder contributes two keys to its parent's ordering: its row under
// its name, its subtree under its name followed by "/". Explicit stack: the
// depth is the file system's to choose. A row that does not go in fails the
// save: a scan reported as stored must be complete.
Status insertAll(Database& db, const ScanNode* root, std::stop_token stop) {
    struct Item {
        const ScanNode* node;
        const ScanNode* parent;
        bool subtree; // the node's children, rather than its own row
    };
    auto before = [](const Item& a, const Item& b) {
        const std::string_view x = a.node->name(), y = b.node->name();
        const std::size_t n = std::min(x.size(), y.size());
        if (const int c = n ? std::memcmp(x.data(), y.data(), n) : 0; c != 0) return c < 0;
        // One name is a prefix of the other: compare what follows it, with
        // the end of a row's name before anything and a subtree's "/" in
        // its place.
        auto next = [n](std::string_view s, bool subtree) -> int {
            if (s.size() > n) return static_cast<unsigned char>(s[n]);
            return subtree ? '/' : -1;
        };
        const int nx = next(x, a.subtree), ny = next(y, b.subtree);
        if (nx != ny) return nx < ny;
        return x.size() + a.subtree < y.size() + b.subtree;
    };
    std::vector<Item> stack{{root, nullptr, true}, {root, nullptr, false}};
    std::vector<Item> siblings;
    RowBatch batch(db);
    std::string parentPath;
    const ScanNode* pathOwner = nullptr; // whose path `parentPath` is
    int sinceCheck = 0;
    while (!stack.empty()) {
        if (++sinceCheck == RowBatch::kRows) {
            sinceCheck = 0;
            if (stop.stop_requested()) return Error{"ScanStore", 2, "the save was stopped"};
        }
        const Item item = stack.back();
        stack.pop_back();
        if (!item.subtree) {
            // Siblings are written one after another: their parent's path is
            // built once.
            if (item.parent && item.parent != pathOwner) {
                parentPath.clear();
                item.parent->appendPath(parentPath);
                pathOwner = item.parent;
            }
            if (auto s = batch.add(item.node, item.parent, parentPath); !s) return s;
            continue;
        }
        siblings.clear();
        for (const ScanNode* c : item.node->children()) {
            siblings.push_back({c, item.node, false});
            if (!c->children().empty()) siblings.push_back({c, item.node, true});
        }
        std::stable_sort(siblings.begin(), siblings.end(), before);
        stack.insert(stack.end(), siblings.rbegin(), siblings.rend());
    }
    return batch.finish();
}

constexpr int kSaveAttempts = 5;

bool isLockRace(const Error& e) {
    return e.domain == "POSIX" && (e.code == EAGAIN || e.code == EWOULDBLOCK);
}

// A scan being written is hidden and not a ".sqlite" name, so the history
// never lists it; it gets its real name only once it is complete.
std::string savingName(const Uuid& id) {
    return "." + id.toString() + std::string(kSavingSuffix);
}

// Unlinks the temporary file (and whatever SQLite put beside it) unless it
// was released into place.
class SavingFile {
public:
    explicit SavingFile(std::string path) : path_(std::move(path)) {}
    ~SavingFile() {
        if (!released_) removeWithSideFiles(path_);
    }
    SavingFile(const SavingFile&) = delete;
    SavingFile& operator=(const SavingFile&) = delete;
    void release() { released_ = true; }

private:
    std::string path_;
    bool released_ = false;
};

// Rows, meta rows and the switch to write-ahead journaling, on a file no
// one else reads yet: no journal and no syncs while writing, as a crash
// only leaves a temporary file behind. The finished file records WAL mode.
// Pages of 64 KiB halve both the save and the load of a large scan against
// the default 4 KiB: sixteen times fewer pages to split, write and read.
Status writeScan(Database& db, const ScanForest& forest, const std::string& root,
                 std::stop_token stop) {
    for (const char* sql :
         {"PRAGMA page_size=65536", "PRAGMA journal_mode=OFF", "PRAGMA synchronous=OFF",
          "PRAGMA locking_mode=EXCLUSIVE", "PRAGMA temp_store=MEMORY", kCreateTables}) {
        if (auto s = db.exec(sql); !s) return s.error();
    }
    auto transaction = sql::Transaction::begin(db);
    if (!transaction) return transaction.error();
    if (auto s = insertAll(db, forest.root(), stop); !s) return s.error();
    if (auto s = db.exec(metaInsert(forest, root)); !s) return s.error();
    if (auto s = transaction->commit(); !s) return s.error();
    return db.exec("PRAGMA journal_mode=WAL");
}

} // namespace

Result<ScanRecord> saveIn(const std::string& storeDirectory, const ScanForest& forest,
                          const std::string& chosenRoot, std::stop_token stop) {
    if (stop.stop_requested()) return Error{"ScanStore", 2, "the save was stopped"};
    // The walk wrote its rows under this spelling of the root.
    std::string root(Path::trimmedSlashes(chosenRoot));
    if (root.empty()) root = "/";
    const std::string dir = platform::FileSystem::absolute(storeDirectory);
    // The lock tells a starting instance that this file is still being
    // written; it lasts until the descriptor goes, after the rename. One
    // that cleans up just as the file appears (before the lock) takes it
    // for a killed save's: then the save starts over under a new name.
    Uuid id;
    std::string saving;
    Result<platform::FileDescriptor> lock = Error{};
    for (int attempt = 0; attempt < kSaveAttempts; ++attempt) {
        id = Uuid::random();
        saving = Path::appending(dir, savingName(id));
        lock = platform::FileSystem::createLocked(saving);
        if (lock || !isLockRace(lock.error())) break;
    }
    if (!lock) return Error{"ScanStore", 1, lock.error().message};
    const std::string file = Path::appending(dir, id.toString() + ".sqlite");
    SavingFile cleanup(saving);

    ScanRecord r;
    {
        auto db = Database::open(saving, Database::Mode::create);
        if (!db) return db.error();
        if (auto s = writeScan(*db, forest, root, stop); !s) return s.error();
        MetaRows meta(*db);
        r = recordFromMeta(meta, root);
        // Closing folds the log back into the file and removes it.
    }
    if (auto s = platform::FileSystem::syncAndRename(*lock, saving, file); !s) {
        return Error{"ScanStore", 2, s.error().message};
    }
    cleanup.release();
    r.id = id;
    r.finished = Date::now();
    r.scannedBytes = forest.root()->allocatedSize();
    r.unreadable = forest.unreadable();
    r.fileURL = file;
    return r;
}

Result<ScanRecord> save(const ScanForest& forest, const std::string& root) {
    return saveIn(directory(), forest, root);
}

} // namespace tb::ScanStore
