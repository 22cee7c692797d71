// Scans one folder tree with several workers and returns its forest. Runs
// entirely on the calling thread and the workers it starts; call it off the
// interface thread. Never follows symbolic links, enters another mount only when
// asked, never opens anything but directories.
#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "scan/exclude_rules.h"
#include "scan/raw_entry.h"
#include "scan/scan_forest.h"

namespace tb::DirectoryWalker {

inline constexpr double progressInterval = 0.25;

// The walk waits on the device, not the processor: a solid-state or unknown
// local device answers many reads at once (8 workers), a spinning disk or a
// network file system is best given few (2).
int workerCount(platform::StorageKind storage);
// For the storage that holds `root`.
int workerCount(const std::string& root);

// The root as the walk and the store write it: without trailing slashes
// ("/" stays "/"), so that the stored root names a stored row.
std::string normalizedRoot(const std::string& root);

using ProgressCallback = std::function<void(const WalkProgress&)>;

struct Options {
    int workers = 0; // 0: workerCount(root)
    HardLinkMode hardLinks = HardLinkMode::once;
    // Items the walk lists but does not enter or count.
    ExcludeRules exclude;
    // Where this walk's root lies below the root the rules were written for
    // ("a/b", no slashes around it; empty: the same root). A folder walked
    // again on its own leaves out just what the whole scan did.
    std::string excludeBase;
    // Enter other local file systems below the root. Network and FUSE ones
    // are entered only when named in `enterMounts`: they may hang.
    bool crossMounts = false;
    // Mount points (absolute paths) to enter whatever their kind.
    std::vector<std::string> enterMounts;
    // Replaces the file-system lister (tests inject unreadable folders here).
    std::function<DirectoryListing(const std::string& directory)> lister;
};

// The progress callback runs on a worker thread and must return at once.
// A stopped walk returns what was gathered so far, without any marker.
ScanForest walk(const std::string& root, const ProgressCallback& progress,
                std::stop_token stop = {}, const Options& options = {});

} // namespace tb::DirectoryWalker
