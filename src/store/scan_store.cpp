#include "store/scan_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <cerrno>
#include <array>
#include <optional>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "base/path.h"
#include "platform/file_system.h"
#include "scan/directory_walker.h"
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

constexpr std::string_view kInsertNodeHead =
    "INSERT INTO nodes(path, parent, name, is_dir, logical, allocated, mtime, inode, "
    "may_share, unreadable) VALUES ";

constexpr std::string_view kSelectNodes =
    "SELECT path, parent, name, is_dir, logical, allocated, mtime, inode, may_share, "
    "unreadable FROM nodes";

constexpr std::string_view kSelectMeta = "SELECT value FROM meta WHERE key = ?";
// Room for the items a context keeps, at a generous length each.
constexpr int kLeftOutBytes = 8 << 20;
constexpr int kHostBytes = 1024;

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

// Only plain tables are read: a view, or a virtual table, may run any query
// at all (an endless recursive one, say) each time it is read.
bool isPlainTable(Database& db, std::string_view table) {
    auto stmt = db.prepare("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?");
    if (!stmt) return false;
    stmt->bindText(1, table);
    if (stmt->step() != SQLITE_ROW) return false;
    const std::string_view sql = stmt->columnText(0);
    constexpr std::string_view kVirtual = "CREATE VIRTUAL";
    return sql.size() < kVirtual.size() ||
           sqlite3_strnicmp(sql.data(), kVirtual.data(), int(kVirtual.size())) != 0;
}

// The meta rows of one open file; none at all when `meta` is no plain table.
class MetaRows {
public:
    explicit MetaRows(Database& db) : db_(db), readable_(isPlainTable(db, "meta")) {}

    std::optional<std::string> text(std::string_view key) {
        if (!readable_) return std::nullopt;
        auto stmt = db_.prepare(kSelectMeta);
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
    Database& db_;
    bool readable_;
};

// The meta-derived part of a record; `root` is already resolved.
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

// The writer's rows are numbered 1..n, so the largest rowid sizes the tables
// up front (a cheap lookup at the end of the b-tree). A row takes more than
// 16 bytes of the file, so the file's size bounds what a forged rowid may
// make us reserve.
std::size_t expectedRows(Database& db, std::int64_t fileBytes) {
    auto stmt = db.prepare("SELECT max(rowid) FROM nodes");
    if (!stmt || stmt->step() != SQLITE_ROW) return 0;
    return static_cast<std::size_t>(std::clamp<std::int64_t>(
        stmt->columnInt64(0), 0, std::max<std::int64_t>(fileBytes, 0) / 16));
}

// Stored values are clamped to what a file system can hold: no negative
// sizes, and dates between the distant past and the end of year 9999.
constexpr double kLastSecond = 253'402'300'799.0;

std::int64_t storedSize(std::int64_t v) {
    return v < 0 ? 0 : v;
}

Date storedDate(double seconds) {
    if (!(seconds >= double(Date::kDistantPastSeconds))) return Date::distantPast();
    return Date::fromUnixDouble(std::min(seconds, kLastSecond));
}

// What ScanNode::path gives for a node named `name` under `parent`.
bool isChildPath(std::string_view path, std::string_view parent, std::string_view name) {
    const std::size_t separator = parent.empty() || parent.back() != '/' ? 1 : 0;
    return path.size() == parent.size() + separator + name.size() && path.starts_with(parent) &&
           path.ends_with(name) && (separator == 0 || path[parent.size()] == '/');
}

// One row's fields; the texts point into the statement's current row.
NodeFields rowFields(Statement& select) {
    NodeFields f;
    f.path = select.columnText(0);
    f.name = select.columnText(2);
    f.isDirectory = select.columnInt64(3) == 1;
    f.logicalSize = storedSize(select.columnInt64(4));
    f.allocatedSize = storedSize(select.columnInt64(5));
    f.modified = storedDate(select.columnDouble(6));
    f.inode = static_cast<std::uint64_t>(select.columnInt64(7));
    f.mayShareBlocks = select.columnInt64(8) == 1;
    f.unreadable = select.columnInt64(9) == 1;
    return f;
}

constexpr std::uint32_t kNoParent = PathIndex::none;

// Hands each node to its parent (`parentOf`, kNoParent for none), the
// children of all parents grouped in one array and then copied into the
// arena.
void linkChildren(NodeArena& arena, const std::vector<ScanNode*>& nodes,
                  const std::vector<std::uint32_t>& parentOf) {
    std::vector<std::uint32_t> childCount(nodes.size(), 0);
    for (const std::uint32_t p : parentOf) {
        if (p != kNoParent) ++childCount[p];
    }
    std::vector<std::size_t> start(nodes.size() + 1, 0);
    for (std::size_t i = 0; i < nodes.size(); ++i)
        start[i + 1] = start[i] + childCount[i];
    std::vector<ScanNode*> grouped(start.back());
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (parentOf[i] != kNoParent) grouped[fill[parentOf[i]]++] = nodes[i];
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (childCount[i] == 0) continue;
        arena.setChildren(nodes[i],
                          std::span<ScanNode* const>(grouped.data() + start[i], childCount[i]));
    }
}

enum class Rows { read, unordered, unreadable };

// Walks the rows as this store writes them: the root first, then every row
// in byte order of its path (so no path twice), each named as a child of a
// folder read before it. Only folders' paths are indexed, a few percent of
// a large scan's rows. `visit(fields, parent)` gets each row with the
// position of its parent's row (kNoParent for the root) before the next is
// read; a row out of that shape stops the walk as unordered.
template <typename Visit>
Rows forOrderedRows(Statement& select, const std::string& rootPath, Visit&& visit) {
    PathIndex folders;
    PathBytes folderPaths;
    std::string previous, lastParentPath;
    std::uint32_t lastParent = kNoParent;
    std::uint32_t count = 0;

    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        if (count >= kNoParent - 1) return Rows::unordered;
        NodeFields f = rowFields(select);
        std::uint32_t parent = kNoParent;
        if (count == 0) {
            if (!select.columnIsNull(1) || f.path != rootPath) return Rows::unordered;
        } else {
            if (select.columnIsNull(1) || f.path <= std::string_view(previous)) {
                return Rows::unordered;
            }
            const std::string_view parentPath = select.columnText(1);
            if (lastParent != kNoParent && parentPath == lastParentPath) {
                parent = lastParent;
            } else {
                parent = folders.find(parentPath);
                if (parent == PathIndex::none) return Rows::unordered;
                lastParent = parent;
                lastParentPath.assign(parentPath);
            }
            if (!isChildPath(f.path, parentPath, f.name)) return Rows::unordered;
        }
        previous.assign(f.path);
        if (f.isDirectory) folders.assign(folderPaths.keep(f.path), count);
        visit(f, parent);
        ++count;
    }
    if (rc != SQLITE_DONE) return Rows::unreadable;
    return count == 0 ? Rows::unordered : Rows::read;
}

// The tree of rows in the store's own order; anything else is left to
// readTree, which indexes every path.
Rows readOrderedTree(Statement& select, const std::string& rootPath, std::size_t expectedRows,
                     std::optional<NodeTree>& out) {
    auto arena = std::make_shared<NodeArena>();
    std::vector<ScanNode*> nodes;
    std::vector<std::uint32_t> parentOf;
    nodes.reserve(expectedRows);
    parentOf.reserve(expectedRows);
    const Rows rows = forOrderedRows(select, rootPath, [&](NodeFields& f, std::uint32_t parent) {
        if (parent != kNoParent) f.parent = nodes[parent];
        nodes.push_back(arena->make(f));
        parentOf.push_back(parent);
    });
    if (rows != Rows::read) return rows;
    linkChildren(*arena, nodes, parentOf);
    out = NodeTree{std::move(arena), nodes.front()};
    return Rows::read;
}

// Builds the tree from all rows. Rows normally come parents first (the writer's
// pre-order), so most parents are found while reading; the others wait for
// the end. The root is never attached under another node, so a file whose
// parent links form a cycle still gives a strict tree.
std::optional<NodeTree> readTree(Statement& select, const std::string& rootPath,
                                 std::size_t expectedRows) {
    auto arena = std::make_shared<NodeArena>();
    std::vector<ScanNode*> nodes;
    constexpr std::uint32_t kLater = PathIndex::none - 1;
    std::vector<std::uint32_t> parentOf;
    struct Pending {
        std::uint32_t node;
        std::size_t offset, length;
    };
    std::vector<Pending> pending;
    std::string pendingBytes;
    PathIndex byPath(expectedRows);
    // Nodes keep names only; the rows' paths live here until the tree is built.
    PathBytes pathBytes;
    std::vector<std::string_view> pathOf;
    pathOf.reserve(expectedRows);
    std::string_view lastParentPath;
    nodes.reserve(expectedRows);
    parentOf.reserve(expectedRows);
    bool replacedRows = false;
    std::uint32_t lastParent = kNoParent;

    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        if (nodes.size() >= kLater) return std::nullopt;
        NodeFields f = rowFields(select);
        const std::string_view path = pathBytes.keep(f.path);
        const auto index = static_cast<std::uint32_t>(nodes.size());
        std::uint32_t parent = kNoParent;
        if (!select.columnIsNull(1)) {
            const std::string_view parentPath = select.columnText(1);
            // Siblings come one after another: most rows share the parent
            // of the row before, which spares a lookup in a large table.
            if (lastParent != kNoParent && parentPath == lastParentPath) {
                parent = lastParent;
            } else {
                parent = byPath.find(parentPath);
                if (parent != PathIndex::none) {
                    lastParent = parent;
                    lastParentPath = pathOf[parent];
                }
            }
            // A row whose path is its parent's path and its name keeps only
            // the name; any other keeps its path.
            if (parent != PathIndex::none && isChildPath(path, parentPath, f.name)) {
                f.parent = nodes[parent];
            }
            if (parent == PathIndex::none) {
                parent = kLater;
                pending.push_back({index, pendingBytes.size(), parentPath.size()});
                pendingBytes.append(parentPath);
            }
        }
        ScanNode* node = arena->make(f);
        // A later row with the same path replaces the earlier one.
        replacedRows |= byPath.assign(path, index);
        pathOf.push_back(path);
        nodes.push_back(node);
        parentOf.push_back(parent);
    }

    // Anything but the end of the rows (a damaged page, say) means the file
    // cannot be read whole, and a partial tree would misstate every total.
    if (rc != SQLITE_DONE) return std::nullopt;
    const std::uint32_t rootIndex = byPath.find(rootPath);
    if (rootIndex == PathIndex::none) return std::nullopt;

    for (const Pending& p : pending) {
        parentOf[p.node] = byPath.find(std::string_view(pendingBytes).substr(p.offset, p.length));
    }
    for (std::uint32_t i = 0; i < nodes.size(); ++i) {
        std::uint32_t& p = parentOf[i];
        if (p == kNoParent || i == rootIndex) {
            p = kNoParent;
            continue;
        }
        if (replacedRows) {
            // Only the surviving row of a path is linked, under the surviving
            // row of its parent's path.
            if (byPath.find(pathOf[i]) != i) {
                p = kNoParent;
                continue;
            }
            p = byPath.find(pathOf[p]);
        }
    }
    linkChildren(*arena, nodes, parentOf);
    return NodeTree{std::move(arena), nodes[rootIndex]};
}

} // namespace

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

Result<ScanRecord> save(const ScanForest& forest, const std::string& root) {
    return saveIn(directory(), forest, root);
}

namespace {

constexpr std::string_view kSavingSuffix = ".saving";
constexpr int kSaveAttempts = 5;

bool isLockRace(const Error& e) {
    return e.domain == "POSIX" && (e.code == EAGAIN || e.code == EWOULDBLOCK);
}
constexpr std::string_view kSideFiles[] = {"-wal", "-shm", "-journal"};

// A scan being written is hidden and not a ".sqlite" name, so the history
// never lists it; it gets its real name only once it is complete.
std::string savingName(const Uuid& id) {
    return "." + id.toString() + std::string(kSavingSuffix);
}

void removeWithSideFiles(const std::string& file) {
    ::unlink(file.c_str());
    for (std::string_view side : kSideFiles)
        ::unlink((file + std::string(side)).c_str());
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
    const std::string root = DirectoryWalker::normalizedRoot(chosenRoot);
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

namespace {

// A scan file opened for reading its nodes, with the root its rows hang from.
struct NodeRows {
    Database db;
    Statement select;
    std::string rootPath;
    std::size_t expectedRows = 0;
    std::optional<std::string> visited; // the stored count, if any
};

std::optional<NodeRows> openNodeRows(const ScanRecord& record) {
    auto size = platform::FileSystem::values(platform::FileSystem::absolute(record.fileURL));
    auto db = Database::open(record.fileURL, Database::Mode::readOnly);
    if (!db || !size) return std::nullopt;
    if (!isPlainTable(*db, "nodes")) return std::nullopt;
    auto select = db->prepare(kSelectNodes);
    if (!select) return std::nullopt;
    MetaRows meta(*db);
    std::string rootPath = meta.text("root").value_or(record.rootPath);
    std::optional<std::string> visited = meta.text("visited");
    const std::size_t expected = expectedRows(*db, size->size);
    return NodeRows{std::move(*db), std::move(*select), std::move(rootPath), expected,
                    std::move(visited)};
}

std::optional<NodeTree> loadTree(const ScanRecord& record, std::int64_t* visited) {
    auto rows = openNodeRows(record);
    if (!rows) return std::nullopt;
    std::optional<NodeTree> tree;
    switch (readOrderedTree(rows->select, rows->rootPath, rows->expectedRows, tree)) {
    case Rows::read: break;
    case Rows::unreadable: return std::nullopt;
    case Rows::unordered:
        tree.reset();
        rows->select.reset();
        tree = readTree(rows->select, rows->rootPath, rows->expectedRows);
        break;
    }
    if (tree && visited) {
        // Without the row, every row but the root's is an entry the walk saw,
        // and every unreadable folder was counted once more.
        const auto count = static_cast<std::int64_t>(tree->arena->nodeCount());
        const auto& stored = rows->visited;
        *visited = stored ? MetaText::parseDecimal(*stored).value_or(0)
                          : std::max<std::int64_t>(count - 1, 0) +
                                std::max<std::int64_t>(record.unreadable, 0);
    }
    return tree;
}

} // namespace

std::optional<NodeTree> load(const ScanRecord& record) {
    return loadTree(record, nullptr);
}

StoredRows visitRows(const ScanRecord& record,
                     const std::function<void(const NodeFields&)>& visit) {
    auto rows = openNodeRows(record);
    if (!rows) return StoredRows::unreadable;
    switch (forOrderedRows(rows->select, rows->rootPath,
                           [&](const NodeFields& f, std::uint32_t) { visit(f); })) {
    case Rows::read: return StoredRows::read;
    case Rows::unordered: return StoredRows::notInStoreOrder;
    case Rows::unreadable: break;
    }
    return StoredRows::unreadable;
}

std::optional<ScanForest> reopen(const ScanRecord& record) {
    std::int64_t visited = 0;
    auto tree = loadTree(record, &visited);
    if (!tree) return std::nullopt;
    return ScanForest(std::move(*tree), record.unreadable, visited, record.context);
}

bool holdsRoot(const ScanRecord& record) {
    auto db = Database::open(record.fileURL, Database::Mode::readOnly);
    if (!db || !isPlainTable(*db, "nodes")) return false;
    MetaRows meta(*db);
    const std::string root = meta.text("root").value_or(record.rootPath);
    auto select = db->prepare("SELECT 1 FROM nodes WHERE path = ? LIMIT 1");
    if (!select) return false;
    select->bindText(1, root);
    return select->step() == SQLITE_ROW;
}

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
