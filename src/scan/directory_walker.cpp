#include "scan/directory_walker.h"

#include <atomic>
#include <deque>
#include <thread>
#include <unordered_set>
#include <vector>

#include "base/path.h"
#include "platform/file_system.h"
#include "platform/volume_info.h"
#include "scan/directory_lister.h"
#include "scan/walk_state.h"

namespace tb::DirectoryWalker {

int workerCount(platform::StorageKind storage) {
    using platform::StorageKind;
    return storage == StorageKind::rotational || storage == StorageKind::network ? 2 : 8;
}

int workerCount(const std::string& root) {
    return workerCount(platform::storageKind(root));
}

namespace {

struct Shared {
    WalkQueue queue;
    NodeBag bag;
    ProgressGate gate;
    VolumeIdentity rootVolume;
    const ScanNode* rootNode = nullptr;
    const ProgressCallback* progress = nullptr;
    const Options* options = nullptr;
    // Folders held open for their waiting subfolders, and how many may be:
    // a deep tree with siblings at every level would otherwise run out of
    // descriptors. Beyond the budget, subfolders are opened by path.
    std::atomic<int> openDirectories{0};
    int openBudget = 256;
    // One store of pending folders per worker: any worker may settle a
    // folder another one listed, so they all live until the walk is over.
    std::vector<std::deque<PendingFolder>> pendingFolders;
    std::atomic<bool> rootSettled{false};
    std::string root;         // as the nodes spell it
    std::string resolvedRoot; // as the mount table spells it
    // Mount points below the root that the options let the walk enter.
    std::unordered_set<std::string> enterable;
};

// One listed entry, whichever lister produced it.
struct Listed {
    std::string_view name;
    bool isDirectory, isMount, mayShareBlocks;
    std::uint32_t linkCount;
    std::uint64_t inode;
    Date modified;
    std::int64_t logical, allocated;
    std::uint64_t device;
};

class Worker {
public:
    Worker(Shared& shared, std::deque<PendingFolder>& pending, std::stop_token stop)
        : s_(shared), pending_(pending), stop_(std::move(stop)) {}

    void run() {
        for (WalkItem item = s_.queue.pop(stop_); item.dir; item = s_.queue.pop(stop_)) {
            ScanNode* dir = item.dir;
            if (stop_.stop_requested()) {
                s_.queue.finish();
                break;
            }
            dirPath_.assign(dir->path());
            platform::FileDescriptor fd;
            const bool listed = list(item, fd);
            item.parent.reset();
            if (!listed) {
                dir->setUnreadable(true);
                s_.bag.markUnreadable();
                settled(item.owner);
            } else if (!stop_.stop_requested()) {
                ingest(dir, item.owner, std::move(fd));
            }
            if (s_.gate.allow(progressInterval)) (*s_.progress)(s_.bag.progress(dirPath_));
            s_.queue.finish();
        }
        s_.bag.deposit(std::move(arena_), std::move(links_));
    }

private:
    bool list(const WalkItem& item, platform::FileDescriptor& fd) {
        listed_.clear();
        if (s_.options->lister) {
            fake_ = s_.options->lister(dirPath_);
            if (fake_.unreadable) return false;
            for (const RawEntry& e : fake_.entries) {
                listed_.push_back({e.name, e.isDirectory, e.isMount, e.mayShareBlocks, e.linkCount,
                                   e.inode, e.modified, e.logicalSize, e.allocatedSize, e.device});
            }
            return true;
        }
        using platform::DirectoryReader;
        if (item.parent) {
            name_.assign(item.dir->name());
            fd.reset(DirectoryReader::openChild(item.parent->fd(), name_.c_str()));
        } else {
            // Only the root may be reached through a link.
            const bool isRoot = item.dir == s_.rootNode;
            fd.reset(DirectoryReader::open(
                dirPath_, isRoot ? DirectoryReader::Link::follow : DirectoryReader::Link::refuse));
        }
        if (!fd.valid() || !DirectoryLister::read(reader_, fd.get(), s_.rootVolume)) return false;
        for (const auto& e : reader_.entries()) {
            const Date modified = e.hasModified
                                      ? Date::fromUnix(e.modifiedSeconds, e.modifiedNanoseconds)
                                      : Date::distantPast();
            const std::int64_t logical = e.isDirectory ? 0 : e.size;
            const std::int64_t allocated = e.isDirectory ? 0 : e.allocated;
            listed_.push_back({reader_.name(e), e.isDirectory, e.isDirectory && e.isMount,
                               allocated > 0 && logical > allocated, e.linkCount, e.inode, modified,
                               logical, allocated, e.device});
        }
        return true;
    }

    // A mount point listed in the current folder.
    bool mayEnter(std::string_view name) {
        if (s_.enterable.empty()) return false;
        mountPath_.assign(s_.resolvedRoot);
        if (dirPath_.size() > s_.root.size()) mountPath_.append(dirPath_, s_.root.size());
        if (mountPath_.back() != '/') mountPath_ += '/';
        mountPath_ += name;
        return s_.enterable.contains(mountPath_);
    }

    // A folder below `owner` (none: the root) is settled.
    void settled(PendingFolder* owner) {
        if (PendingFolder::oneDone(owner)) s_.rootSettled.store(true, std::memory_order_release);
    }

    void ingest(ScanNode* dir, PendingFolder* owner, platform::FileDescriptor fd) {
        kids_.clear();
        subdirs_.clear();
        std::int64_t bytes = 0;
        const ExcludeRules& rules = s_.options->exclude;
        if (!rules.empty()) {
            relative_.assign(s_.options->excludeBase);
            if (!relative_.empty()) relative_ += '/';
            if (dir != s_.rootNode) {
                relative_.append(dirPath_, s_.root == "/" ? 1 : s_.root.size() + 1);
                relative_ += '/';
            }
        }
        const std::size_t relativeBase = relative_.size();
        for (const Listed& e : listed_) {
            LeftOutKind leftOut = LeftOutKind::none;
            if (!rules.empty()) {
                relative_.resize(relativeBase);
                relative_ += e.name;
                leftOut = rules.match(relative_, e.isDirectory);
            }
            if (leftOut == LeftOutKind::none && e.isMount && !mayEnter(e.name)) {
                leftOut = LeftOutKind::mount;
            }
            const bool counted = leftOut == LeftOutKind::none;
            ScanNode* node = arena_.make({.name = e.name,
                                          .isDirectory = e.isDirectory,
                                          .inode = e.inode,
                                          .modified = e.modified,
                                          .mayShareBlocks = counted && e.mayShareBlocks,
                                          .logicalSize = counted ? e.logical : 0,
                                          .allocatedSize = counted ? e.allocated : 0,
                                          .parent = dir});
            kids_.push_back(node);
            if (!counted) {
                node->setLeftOut(leftOut);
            } else if (e.isDirectory) {
                subdirs_.push_back(node);
            } else {
                bytes += e.allocated < 1 ? e.logical : e.allocated;
                if (e.linkCount > 1) links_.push_back({node, e.device, e.linkCount});
            }
        }
        arena_.setChildren(dir, kids_);
        s_.bag.ingest(static_cast<std::int64_t>(kids_.size()), bytes);
        std::shared_ptr<const OpenDirectory> open;
        if (!subdirs_.empty() && fd.valid() &&
            s_.openDirectories.load(std::memory_order_relaxed) < s_.openBudget) {
            open = std::make_shared<const OpenDirectory>(std::move(fd), s_.openDirectories);
        }
        if (subdirs_.empty()) {
            dir->settle();
            settled(owner);
            return;
        }
        PendingFolder& pending =
            pending_.emplace_back(dir, owner, static_cast<std::int64_t>(subdirs_.size()));
        s_.queue.pushMany(subdirs_, open, &pending);
    }

    Shared& s_;
    std::deque<PendingFolder>& pending_;
    std::stop_token stop_;
    platform::DirectoryReader reader_;
    NodeArena arena_;
    DirectoryListing fake_;
    std::vector<Listed> listed_;
    std::vector<ScanNode*> kids_, subdirs_;
    std::vector<LinkedName> links_; // files with several names, as listed
    std::string dirPath_, name_, relative_, mountPath_;
};

// The mounts below the root that the walk may enter: what was asked for by
// name, and with crossMounts every local file system.
std::unordered_set<std::string> enterableMounts(const std::string& resolvedRoot,
                                                const Options& options) {
    std::unordered_set<std::string> out;
    if (!options.crossMounts && options.enterMounts.empty()) return out;
    for (const std::string& m : options.enterMounts)
        out.insert(platform::FileSystem::resolved(m));
    if (options.crossMounts) {
        for (const platform::MountEntry& m : platform::mounts()) {
            const bool below = resolvedRoot == "/" ? m.point.size() > 1
                                                   : m.point.size() > resolvedRoot.size() + 1 &&
                                                         m.point.starts_with(resolvedRoot) &&
                                                         m.point[resolvedRoot.size()] == '/';
            if (below && !platform::isRemoteOrFuse(m.type)) out.insert(m.point);
        }
    }
    return out;
}

} // namespace

std::string normalizedRoot(const std::string& root) {
    const std::string_view r = Path::trimmedSlashes(root);
    return r.empty() ? "/" : std::string(r);
}

ScanForest walk(const std::string& rootUrl, const ProgressCallback& progress, std::stop_token stop,
                const Options& options) {
    const std::string root = normalizedRoot(rootUrl);
    Shared shared;
    shared.rootVolume = VolumeID::of(root);
    shared.progress = &progress;
    shared.options = &options;
    shared.root = root;
    shared.resolvedRoot = platform::FileSystem::resolved(root);
    shared.enterable = enterableMounts(shared.resolvedRoot, options);

    auto arena = std::make_shared<NodeArena>();
    ScanNode* rootNode = arena->make({.path = root,
                                      .name = Path::displayName(root),
                                      .isDirectory = true,
                                      .modified = Date::now()});
    shared.rootNode = rootNode;
    shared.openBudget = platform::openFileBudget();
    shared.queue.push({rootNode, nullptr});

    const int count = options.workers > 0 ? options.workers : workerCount(root);
    shared.pendingFolders.resize(std::size_t(count));
    {
        std::vector<std::jthread> workers;
        workers.reserve(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            workers.emplace_back([&shared, i, stop] {
                Worker(shared, shared.pendingFolders[std::size_t(i)], stop).run();
            });
        }
    }

    std::vector<LinkedName> links = shared.bag.collect(*arena);
    // A stopped walk left folders unsettled: they are summed here.
    if (!shared.rootSettled.load(std::memory_order_acquire)) rootNode->rollup();
    return ScanForest(NodeTree{arena, rootNode}, shared.bag.unreadableCount(),
                      shared.bag.visitedCount(), std::nullopt,
                      ScanForest::WalkedLinks{std::move(links), options.hardLinks, true},
                      options.exclude.patterns());
}

} // namespace tb::DirectoryWalker
