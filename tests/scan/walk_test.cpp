#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>

#include "base/path.h"
#include "scan/directory_lister.h"
#include "scan/directory_walker.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using namespace tb::test;

const RawEntry* find(const DirectoryListing& l, std::string_view name) {
    for (const auto& e : l.entries) {
        if (e.name == name) return &e;
    }
    return nullptr;
}

struct FakeEntry {
    std::string name;
    bool isDirectory;
};

// What a lister would give for these entries; each file holds 10 bytes.
DirectoryListing fakeListing(const std::string& dir, const std::vector<FakeEntry>& entries) {
    DirectoryListing l;
    for (const auto& [name, isDir] : entries) {
        RawEntry e;
        e.name = name;
        e.url = dir + "/" + name;
        e.isDirectory = isDir;
        e.logicalSize = e.allocatedSize = isDir ? 0 : 10;
        l.entries.push_back(e);
    }
    return l;
}

TEST(DirectoryLister, ReportsSizesTypesAndRawNames) {
    TempDir t;
    writeSizedFile(t / "small", 4000);
    // Sparse: a long length with almost nothing allocated.
    writeFile(t / "sparse", "x");
    ASSERT_EQ(::truncate((t / "sparse").c_str(), 10'000'000), 0);
    writeSizedFile(t / "linked", 9000);
    ASSERT_EQ(::link((t / "linked").c_str(), (t / "link2").c_str()), 0);
    makeDirs(t / "folder");
    makeDirs(t / "empty");
    writeFile(t / "folder/inner", "abc");
    ASSERT_EQ(::symlink((t / "folder").c_str(), (t / "to-folder").c_str()), 0);
    const std::string odd = "bad\xff\xfe name\n'%_\"";
    writeFile(t / odd, "z");
    setModified(t / "small", 1'600'000'000, 123456789);

    const auto root = VolumeID::of(t.path());
    auto listing = DirectoryLister::list(t.path(), root);
    ASSERT_FALSE(listing.unreadable);
    EXPECT_EQ(listing.entries.size(), 8u);

    const RawEntry* small = find(listing, "small");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->logicalSize, 4000);
    EXPECT_GE(small->allocatedSize, 4000);
    EXPECT_FALSE(small->mayShareBlocks);
    EXPECT_EQ(small->modified, Date::fromUnix(1'600'000'000, 123456789));
    struct stat st {};
    ::lstat((t / "small").c_str(), &st);
    EXPECT_EQ(small->inode, st.st_ino);

    const RawEntry* sparse = find(listing, "sparse");
    ASSERT_TRUE(sparse);
    EXPECT_EQ(sparse->logicalSize, 10'000'000);
    EXPECT_TRUE(sparse->mayShareBlocks);

    EXPECT_EQ(find(listing, "linked")->inode, find(listing, "link2")->inode);

    const RawEntry* folder = find(listing, "folder");
    EXPECT_TRUE(folder->isDirectory);
    EXPECT_FALSE(folder->isMount);
    EXPECT_EQ(folder->logicalSize, 0);
    EXPECT_EQ(folder->allocatedSize, 0);
    EXPECT_FALSE(folder->mayShareBlocks);

    const RawEntry* link = find(listing, "to-folder");
    EXPECT_FALSE(link->isDirectory);
    EXPECT_EQ(link->logicalSize, std::int64_t((t / "folder").size()));

    const RawEntry* weird = find(listing, odd);
    ASSERT_TRUE(weird);
    EXPECT_EQ(weird->url, t / odd);

    // The second path lists the same entries.
    auto slow = DirectoryLister::fallback(t.path(), root);
    ASSERT_EQ(slow.entries.size(), listing.entries.size());
    EXPECT_EQ(find(slow, "sparse")->logicalSize, 10'000'000);
    EXPECT_EQ(find(slow, odd)->url, t / odd);

    auto empty = DirectoryLister::list(t / "empty", root);
    EXPECT_FALSE(empty.unreadable);
    EXPECT_TRUE(empty.entries.empty());

    auto missing = DirectoryLister::list(t / "nope", root);
    EXPECT_TRUE(missing.unreadable);
    EXPECT_FALSE(BulkWalker::children(t / "nope", root).ok());
    EXPECT_EQ(BulkWalker::children(t / "nope", root).error().code, ENOENT);
}

TEST(DirectoryWalker, WorkerCountFollowsTheStorage) {
    using platform::StorageKind;
    // A disk head or a network round trip serialises the reads: more
    // workers than a few only queue up there.
    const int solid = DirectoryWalker::workerCount(StorageKind::unknown);
    for (StorageKind slow : {StorageKind::rotational, StorageKind::network}) {
        EXPECT_GE(DirectoryWalker::workerCount(slow), 1);
        EXPECT_LT(DirectoryWalker::workerCount(slow), solid);
    }
    // Memory is no block device.
    EXPECT_EQ(platform::storageKind("/dev/shm"), StorageKind::unknown);
    EXPECT_EQ(platform::storageKind("/no/such/path"), StorageKind::unknown);
}

TEST(DirectoryWalker, CountsEntriesAndRollsUpAHardLinkedFileOnce) {
    TempDir t;
    for (auto name : {"a", "b", "c"})
        writeSizedFile(t / name, 1000);
    putSized(t / "sub/big", 1'000'000);
    ASSERT_EQ(::link((t / "sub/big").c_str(), (t / "sub/big2").c_str()), 0);
    ASSERT_EQ(::mkfifo((t / "sub/pipe").c_str(), 0600), 0); // must never be opened

    int reports = 0;
    ScanForest f = DirectoryWalker::walk(t.path(), [&](const WalkProgress&) { ++reports; });
    EXPECT_EQ(f.visited(), 7);
    EXPECT_EQ(f.unreadable(), 0);
    EXPECT_EQ(reports, 1);
    const ScanNode* sub = child(f.root(), "sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->logicalSize(), 1'000'000);
    EXPECT_EQ(f.root()->logicalSize(), 1'003'000);
    EXPECT_EQ(f.root()->name(), Path::lastComponent(t.path()));
    EXPECT_EQ(f.root()->url(), t.path());
    EXPECT_EQ(f.files().size(), 6u);
    EXPECT_TRUE(f.context().complete);
    EXPECT_GT(f.context().volumeCapacity, 0);
    // The root's date is the moment the scan started.
    EXPECT_LT(Date::now().secondsSince(f.root()->modified()), 60);
}

TEST(DirectoryWalker, EmptyAndMissingRoots) {
    TempDir t;
    ScanForest empty = DirectoryWalker::walk(t.path(), [](const WalkProgress&) {});
    EXPECT_EQ(empty.visited(), 0);
    EXPECT_EQ(empty.unreadable(), 0);
    EXPECT_TRUE(empty.root()->children().empty());

    ScanForest missing = DirectoryWalker::walk(t / "gone", [](const WalkProgress&) {});
    EXPECT_EQ(missing.visited(), 1);
    EXPECT_EQ(missing.unreadable(), 1);
    EXPECT_TRUE(missing.root()->unreadable());
    EXPECT_TRUE(missing.root()->isDirectory());
    EXPECT_FALSE(missing.context().complete);
}

// Root cannot be stopped by permissions, so unreadable folders come from a
// lister that refuses one of them.
TEST(DirectoryWalker, UnreadableFolderIsCountedMarkedAndEmpty) {
    std::map<std::string, std::vector<FakeEntry>> tree = {
        {"/r", {{"locked", true}, {"open", true}, {"f", false}}},
        {"/r/open", {{"g", false}}},
        {"/r/locked", {{"secret", false}}},
    };
    DirectoryWalker::Options options;
    options.lister = [&](const std::string& dir) {
        if (dir == "/r/locked" || !tree.count(dir)) return DirectoryListing{.unreadable = true};
        return fakeListing(dir, tree[dir]);
    };
    ScanForest f = DirectoryWalker::walk(
        "/r", [](const WalkProgress&) {}, {}, options);
    EXPECT_EQ(f.unreadable(), 1);
    EXPECT_EQ(f.visited(), 5);
    const ScanNode* locked = child(f.root(), "locked");
    ASSERT_TRUE(locked);
    EXPECT_TRUE(locked->unreadable());
    EXPECT_TRUE(locked->children().empty());
    EXPECT_EQ(f.root()->allocatedSize(), 20);
    EXPECT_FALSE(f.context().complete);
}

TEST(DirectoryWalker, DeepChainWithIdleWorkersEnds) {
    TempDir t;
    std::string path = t.path();
    for (int i = 0; i < 300; ++i) {
        path += "/d";
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    }
    writeSizedFile(path + "/leaf", 10);
    ScanForest f = DirectoryWalker::walk(t.path(), [](const WalkProgress&) {}, {}, {.workers = 4});
    EXPECT_EQ(f.visited(), 301);
    EXPECT_EQ(f.root()->logicalSize(), 10);
}

TEST(DirectoryWalker, StopEndsPromptlyWithWhatWasGathered) {
    std::atomic<int> listed{0};
    std::stop_source source;
    DirectoryWalker::Options options;
    // An endless tree: every folder holds two more.
    options.lister = [&](const std::string& dir) {
        if (++listed == 50) source.request_stop();
        return fakeListing(dir, {{"x", true}, {"y", true}});
    };
    ScanForest f = DirectoryWalker::walk(
        "/endless", [](const WalkProgress&) {}, source.get_token(), options);
    EXPECT_LE(listed.load(), 60);
    EXPECT_GE(f.visited(), 2);
    EXPECT_LE(f.visited(), 2 * 60);
}

// Only a scan's root may be reached through a symbolic link; below it a link
// is an entry of its own and a folder that turned into one is not followed.
TEST(DirectoryWalker, FollowsALinkOnlyAtTheRoot) {
    TempDir t;
    putSized(t / "real/inner/data", 5000);
    ASSERT_EQ(::symlink((t / "real").c_str(), (t / "alias").c_str()), 0);

    ScanForest viaLink = DirectoryWalker::walk(t / "alias", [](const WalkProgress&) {});
    EXPECT_EQ(viaLink.unreadable(), 0);
    EXPECT_EQ(viaLink.visited(), 2);
    EXPECT_EQ(viaLink.root()->logicalSize(), 5000);

    platform::DirectoryReader reader;
    const auto root = VolumeID::of(t.path());
    EXPECT_NE(reader.readBulk(t / "alias", root), 0);
    EXPECT_NE(reader.readPortable(t / "alias", root), 0);
    EXPECT_EQ(reader.readBulk(t / "alias", root, platform::DirectoryReader::Link::follow), 0);
    EXPECT_EQ(reader.entries().size(), 1u);
}

} // namespace
} // namespace tb
