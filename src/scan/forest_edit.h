// New forests made from a published one: without items the user moved away,
// or with an item put back in place. The published forest is shared with
// background readers, so nothing is changed in place: the tree is copied,
// its folders summed again and its files with several names counted again
// (a name left behind takes over a file whose counted name went away).
// Pure functions over immutable inputs; callable from any thread.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/date.h"
#include "scan/directory_walker.h"
#include "scan/scan_forest.h"

namespace tb::ForestEdit {

// The node at `path` in the forest, found name by name from the root.
const ScanNode* nodeAt(const ScanForest& forest, std::string_view path);

struct Edited {
    ScanForest forest;
    // For each node asked after that is still in the tree, its copy.
    std::unordered_map<const ScanNode*, const ScanNode*> copies;
};

// Without the nodes at `paths` and everything below them; the root never
// leaves. Nothing when no path names a node below the root.
std::optional<Edited> without(const ScanForest& forest, std::span<const std::string> paths,
                              std::span<const ScanNode* const> follow = {});

// One item read again from the disk, with its own identity and date (a
// walk's root carries neither).
struct WalkedItem {
    ScanForest forest;
    std::uint64_t inode = 0;
    Date modified = Date::distantPast();
};

// With `item` (a forest of the one item, walked again) under the folder its
// root path names, taking the place of a node at that path. Nothing when
// that folder is not in the tree.
std::optional<Edited> with(const ScanForest& forest, const WalkedItem& item,
                           std::span<const ScanNode* const> follow = {});

// A folder walked again in place (`with`), making the tree a scan of its
// own: dated now, complete only when nothing in it is unreadable, and with
// what the walk left out in place of what was left out below that folder.
std::optional<Edited> refreshed(const ScanForest& forest, const WalkedItem& item,
                                std::span<const ScanNode* const> follow = {});

// The item at `path` as it is now: a folder is walked, a file read on its
// own. Nothing when it cannot be read. Off the interface thread: a folder
// may be large.
std::optional<WalkedItem> walkItem(const std::string& path, HardLinkMode mode);
// The same with the walk's rules; the root is walked even when they would
// leave it out.
std::optional<WalkedItem> walkItem(const std::string& path, const DirectoryWalker::Options& options,
                                   std::stop_token stop = {});

} // namespace tb::ForestEdit
