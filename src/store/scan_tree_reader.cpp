// The two readers of a scan file's rows.
//
// forOrderedRows (visitRows; load and reopen try it first) trusts the
// writer's order and indexes only folders: the root's row comes first with
// no parent, then every row in strictly increasing byte order of its path,
// each named as a child of a folder whose row came before it. A folder's
// subtree need not follow its row directly ("a" < "a-b" < "a/x"). The first
// row out of that shape stops it as unordered, and load starts over with
// readTree.
//
// readTree takes rows in any order and indexes every path: a parent read
// later is linked at the end, a later row with the same path replaces the
// earlier one (only the surviving row is linked, under the surviving row of
// its parent's path), and the root is never linked under another node, so
// even parent links that form a cycle give a strict tree.
//
// For both, a step that fails before the last row (a damaged page) makes the
// file unreadable: load gives no tree, as a partial one would misstate every
// total.
#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "platform/file_system.h"
#include "store/path_index.h"
#include "store/scan_file.h"
#include "store/scan_store.h"
#include "store/sqlite_db.h"

namespace tb::ScanStore {
namespace {

using sql::Database;
using sql::Statement;

constexpr std::string_view kSelectNodes =
    "SELECT path, parent, name, is_dir, logical, allocated, mtime, inode, may_share, "
    "unreadable FROM nodes";

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

} // namespace tb::ScanStore
