#include "store/scan_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "base/path.h"
#include "platform/file_system.h"
#include "store/meta_text.h"
#include "store/path_index.h"
#include "store/query_text.h"
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

constexpr std::string_view kInsertNode =
    "INSERT INTO nodes(path, parent, name, is_dir, logical, allocated, mtime, inode, "
    "may_share, unreadable)\n"
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";

constexpr std::string_view kSelectNodes =
    "SELECT path, parent, name, is_dir, logical, allocated, mtime, inode, may_share, "
    "unreadable FROM nodes";

constexpr std::string_view kSelectMeta = "SELECT value FROM meta WHERE key = ?";

constexpr std::string_view kSearch =
    "SELECT name, path FROM nodes WHERE name LIKE ? COLLATE NOCASE OR path LIKE ? "
    "COLLATE NOCASE LIMIT ?";

std::optional<std::string> meta(Database& db, std::string_view key) {
    auto stmt = db.prepare(kSelectMeta);
    if (!stmt) return std::nullopt;
    stmt->bindText(1, key);
    if (stmt->step() != SQLITE_ROW) return std::nullopt;
    return std::string(stmt->columnText(0));
}

std::int64_t metaNumber(Database& db, std::string_view key) {
    auto text = meta(db, key);
    if (!text) return 0;
    return MetaText::parseDecimal(*text).value_or(0);
}

// The meta-derived part of a record; `root` is already resolved.
ScanRecord recordFromMeta(Database& db, const std::string& root) {
    ScanRecord r;
    r.rootPath = root;
    r.scannedBytes = metaNumber(db, "scanned");
    r.unreadable = metaNumber(db, "unreadable");
    r.context.rootPath = root;
    if (auto scope = meta(db, "scope")) {
        r.context.scope = scanScopeKind(*scope).value_or(ScanScopeKind::selectedFolder);
    } else {
        r.context.scope = root == "/" ? ScanScopeKind::volume : ScanScopeKind::selectedFolder;
    }
    r.context.volumeName = meta(db, "volume_name").value_or(root);
    r.context.volumeCapacity = metaNumber(db, "volume_capacity");
    auto complete = meta(db, "complete");
    r.context.complete = !(complete && *complete == "0");
    r.context.createdAt = Date::now();
    return r;
}

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
    };
    std::string sql = "INSERT INTO meta(key, value) VALUES\n";
    bool first = true;
    for (const auto& [key, value] : rows) {
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

void bindNode(Statement& insert, const ScanNode* node, const ScanNode* parent) {
    insert.reset();
    insert.clearBindings();
    insert.bindText(1, node->path());
    if (parent) {
        insert.bindText(2, parent->path());
    } else {
        insert.bindNull(2);
    }
    insert.bindText(3, node->name());
    insert.bindInt(4, node->isDirectory() ? 1 : 0);
    insert.bindInt64(5, node->logicalSize());
    insert.bindInt64(6, node->allocatedSize());
    insert.bindDouble(7, node->modified().unixSeconds());
    // SQLite integers are signed: keep the inode's bit pattern.
    insert.bindInt64(8, static_cast<std::int64_t>(node->inode()));
    insert.bindInt(9, node->mayShareBlocks() ? 1 : 0);
    insert.bindInt(10, node->unreadable() ? 1 : 0);
}

// Pre-order, each folder's children in array order, with an explicit stack
// (the depth is the file system's to choose). A row that does not go in fails
// the save: a scan reported as stored must be complete.
Status insertAll(Database& db, Statement& insert, const ScanNode* root) {
    struct Frame {
        const ScanNode* node;
        const ScanNode* parent;
    };
    std::vector<Frame> stack{{root, nullptr}};
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        bindNode(insert, f.node, f.parent);
        if (insert.step() != SQLITE_DONE) return db.statementError();
        const auto children = f.node->children();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            stack.push_back({*it, f.node});
        }
    }
    return okStatus();
}

// The writer's rows are numbered 1..n, so the largest rowid sizes the tables
// up front (a cheap lookup at the end of the b-tree); the cap keeps a forged
// file from reserving absurd amounts.
std::size_t expectedRows(Database& db) {
    auto stmt = db.prepare("SELECT max(rowid) FROM nodes");
    if (!stmt || stmt->step() != SQLITE_ROW) return 0;
    return static_cast<std::size_t>(std::clamp<std::int64_t>(stmt->columnInt64(0), 0, 1 << 24));
}

// Builds the tree from all rows. Rows normally come parents first (the writer's
// pre-order), so most parents are found while reading; the others wait for
// the end. The root is never attached under another node, so a file whose
// parent links form a cycle still gives a strict tree.
std::optional<NodeTree> readTree(Statement& select, const std::string& rootPath,
                                 std::size_t expectedRows) {
    auto arena = std::make_shared<NodeArena>();
    std::vector<ScanNode*> nodes;
    constexpr std::uint32_t kNoParent = PathIndex::none;
    constexpr std::uint32_t kLater = PathIndex::none - 1;
    std::vector<std::uint32_t> parentOf;
    struct Pending {
        std::uint32_t node;
        std::size_t offset, length;
    };
    std::vector<Pending> pending;
    std::string pendingBytes;
    PathIndex byPath(expectedRows);
    nodes.reserve(expectedRows);
    parentOf.reserve(expectedRows);
    bool replacedRows = false;

    while (select.step() == SQLITE_ROW) {
        if (nodes.size() >= kLater) break;
        NodeFields f;
        f.path = select.columnText(0);
        f.name = select.columnText(2);
        f.isDirectory = select.columnInt64(3) == 1;
        f.logicalSize = select.columnInt64(4);
        f.allocatedSize = select.columnInt64(5);
        f.modified = Date::fromUnixDouble(select.columnDouble(6));
        f.inode = static_cast<std::uint64_t>(select.columnInt64(7));
        f.mayShareBlocks = select.columnInt64(8) == 1;
        f.unreadable = select.columnInt64(9) == 1;
        ScanNode* node = arena->make(f);
        const auto index = static_cast<std::uint32_t>(nodes.size());
        std::uint32_t parent = kNoParent;
        if (!select.columnIsNull(1)) {
            const std::string_view parentPath = select.columnText(1);
            parent = byPath.find(parentPath);
            if (parent == PathIndex::none) {
                parent = kLater;
                pending.push_back({index, pendingBytes.size(), parentPath.size()});
                pendingBytes.append(parentPath);
            }
        }
        // A later row with the same path replaces the earlier one.
        replacedRows |= byPath.contains(node->path());
        byPath.assign(node->path(), index);
        nodes.push_back(node);
        parentOf.push_back(parent);
    }

    const std::uint32_t rootIndex = byPath.find(rootPath);
    if (rootIndex == PathIndex::none) return std::nullopt;

    for (const Pending& p : pending) {
        parentOf[p.node] = byPath.find(std::string_view(pendingBytes).substr(p.offset, p.length));
    }
    // Children grouped per parent in one array, then copied into the arena.
    std::vector<std::uint32_t> childCount(nodes.size(), 0);
    for (std::uint32_t i = 0; i < nodes.size(); ++i) {
        std::uint32_t& p = parentOf[i];
        if (p == kNoParent || i == rootIndex) {
            p = kNoParent;
            continue;
        }
        if (replacedRows) {
            // Only the surviving row of a path is linked, under the surviving
            // row of its parent's path.
            if (byPath.find(nodes[i]->path()) != i) {
                p = kNoParent;
                continue;
            }
            p = byPath.find(nodes[p]->path());
        }
        ++childCount[p];
    }
    std::vector<std::size_t> start(nodes.size() + 1, 0);
    for (std::size_t i = 0; i < nodes.size(); ++i) start[i + 1] = start[i] + childCount[i];
    std::vector<ScanNode*> grouped(start.back());
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (parentOf[i] != kNoParent) grouped[fill[parentOf[i]]++] = nodes[i];
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (childCount[i] == 0) continue;
        arena->setChildren(nodes[i],
                           std::span<ScanNode* const>(grouped.data() + start[i], childCount[i]));
    }
    return NodeTree{std::move(arena), nodes[rootIndex]};
}

} // namespace

std::string directory() {
    const std::string base =
        platform::SpecialFolders::userData().value_or(platform::SpecialFolders::temporary());
    std::string dir = Path::appending(Path::appending(base, "Tarnbeck"), "scans");
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return dir;
}

Result<ScanRecord> save(const ScanForest& forest, const std::string& root) {
    return saveIn(directory(), forest, root);
}

Result<ScanRecord> saveIn(const std::string& storeDirectory, const ScanForest& forest,
                          const std::string& root) {
    const Uuid id = Uuid::random();
    const std::string file = Path::appending(storeDirectory, id.toString() + ".sqlite");
    auto db = Database::open(file, Database::Mode::create);
    if (!db) return db.error();

    for (const char* sql : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
                            "PRAGMA temp_store=MEMORY", kCreateTables}) {
        if (auto s = db->exec(sql); !s) return s.error();
    }
    auto transaction = sql::Transaction::begin(*db);
    if (!transaction) return transaction.error();
    {
        auto insert = db->prepare(kInsertNode);
        if (!insert) return insert.error();
        if (auto s = insertAll(*db, *insert, forest.root()); !s) return s.error();
    }
    if (auto s = db->exec(metaInsert(forest, root)); !s) return s.error();
    if (auto s = transaction->commit(); !s) return s.error();

    ScanRecord r = recordFromMeta(*db, root);
    r.id = id;
    r.finished = Date::now();
    r.scannedBytes = forest.root()->allocatedSize();
    r.unreadable = forest.unreadable();
    r.fileURL = file;
    return r;
}

std::optional<NodeTree> load(const ScanRecord& record) {
    auto db = Database::open(record.fileURL, Database::Mode::readOnly);
    if (!db) return std::nullopt;
    auto select = db->prepare(kSelectNodes);
    if (!select) return std::nullopt;
    const std::string rootPath = meta(*db, "root").value_or(record.rootPath);
    return readTree(*select, rootPath, expectedRows(*db));
}

std::optional<ScanRecord> record(const std::string& file) {
    auto db = Database::open(file, Database::Mode::readOnly);
    if (!db) return std::nullopt;
    const std::string_view fileName = Path::lastComponent(file);
    const std::string_view ext = Path::extension(file);
    const std::string_view stem =
        ext.empty() ? fileName : fileName.substr(0, fileName.size() - ext.size() - 1);

    const std::string root = meta(*db, "root").value_or(std::string(stem));
    ScanRecord r = recordFromMeta(*db, root);
    auto values = platform::FileSystem::values(file);
    r.finished = values ? values->modified : Date::now();
    r.id = Uuid::parse(stem).value_or(Uuid::random());
    r.fileURL = file;
    return r;
}

std::vector<ScanRecord> history() { return historyIn(directory()); }

std::vector<ScanRecord> historyIn(const std::string& storeDirectory) {
    std::vector<ScanRecord> records;
    auto names = platform::FileSystem::listNames(storeDirectory);
    if (!names) return records;
    for (const std::string& name : *names) {
        // Case-sensitive: the write-ahead log and other side files drop out here.
        if (Path::extension(name) != "sqlite") continue;
        if (auto r = record(Path::appending(storeDirectory, name))) {
            records.push_back(std::move(*r));
        }
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const ScanRecord& a, const ScanRecord& b) { return a.finished > b.finished; });
    return records;
}

std::vector<StoredHit> search(const ScanRecord& record, const std::string& query, int limit) {
    std::vector<StoredHit> hits;
    std::string cleaned(QueryText::trimmed(query));
    if (cleaned.empty()) return hits;
    // "%" and "_" would be wildcards in the pattern.
    std::erase_if(cleaned, [](char c) { return c == '%' || c == '_'; });
    if (cleaned.empty()) return hits;

    auto db = Database::open(record.fileURL, Database::Mode::readOnly);
    if (!db) return hits;
    auto select = db->prepare(kSearch);
    if (!select) return hits;
    const std::string pattern = "%" + cleaned + "%";
    select->bindText(1, pattern);
    select->bindText(2, pattern);
    select->bindInt(3, limit);
    while (select->step() == SQLITE_ROW) {
        hits.push_back({std::string(select->columnText(0)), std::string(select->columnText(1))});
    }
    return hits;
}

} // namespace tb::ScanStore
