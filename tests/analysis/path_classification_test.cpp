#include "analysis/node_advice.h"
#include "analysis/protected_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "base/path.h"
#include "platform/extent_reader.h"
#include "support/disk_fakes.h"
#include "support/platform_fakes.h"
#include "scan/node_arena.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

struct NodeCase {
    const char* path;
    bool isDirectory;
    bool shared; // what the file system says of its extents
    std::int64_t logical;
    std::int64_t allocated;
    NodeKind expected;
};

const ScanNode* makeNode(NodeArena& arena, const NodeCase& c) {
    std::string_view path = c.path;
    return arena.make({.path = path,
                       .name = path.substr(path.rfind('/') + 1),
                       .isDirectory = c.isDirectory,
                       .mayShareBlocks = c.logical > c.allocated && c.allocated > 0,
                       .logicalSize = c.logical,
                       .allocatedSize = c.allocated});
}

// A node of the file at `path` as it is on disk.
const ScanNode* nodeOnDisk(NodeArena& arena, const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return arena.make({.path = path,
                       .name = Path::lastComponent(path),
                       .logicalSize = st.st_size,
                       .allocatedSize = st.st_blocks * 512});
}

TEST(NodeAdvice, KindRulesInOrderAndWhyTextsByKindAndProtection) {
    constexpr std::int64_t GB = 1'000'000'000;
    const NodeCase cases[] = {
        {"/x/Docker.RAW", false, false, 10, 10, NodeKind::dockerRaw},
        {"/x/docker.raw", true, false, 0, 0, NodeKind::dockerRaw},
        {"/x/disk.raw", false, false, 10, 10, NodeKind::ordinary},
        {"/c/com.docker.docker/Data/disk.RAW", false, false, 10, 10, NodeKind::dockerRaw},
        {"/c/com.docker.docker/Data/disk.raw.bak", false, false, 10, 10, NodeKind::ordinary},
        {"/m/model.GGUF", false, false, 10, 10, NodeKind::weights},
        {"/m/model.gguf.part", false, false, 10, 10, NodeKind::ordinary},
        {"/h/.ollama/models", true, false, 0, 0, NodeKind::weights},
        {"/h/.ollama", true, false, 0, 0, NodeKind::ordinary},
        {"/h/.cache/huggingface/x.bin", false, false, 10, 10, NodeKind::weights},
        {"/h/.cache/HuggingFace/x.bin", false, false, 10, 10, NodeKind::ordinary},
        {"/h/hub/model.safetensors", false, false, 10, 10, NodeKind::weights},
        {"/h/other/model.safetensors", false, false, 10, 10, NodeKind::ordinary},
        {"/h/hub/model.bin", false, false, 10, 10, NodeKind::ordinary},
        {"/u/Library/Developer/Xcode/DerivedData", true, false, 0, 0, NodeKind::derivedData},
        {"/u/Library/Developer/Xcode/DerivedData/App/x.o", false, true, 10, 10,
         NodeKind::derivedData},
        {"/u/Library/developer/Xcode/DerivedData", true, false, 0, 0, NodeKind::ordinary},
        // Sharing is what the file system says, never what the sizes suggest.
        {"/d/reflink.bin", false, true, 10, 10, NodeKind::apfsClone},
        {"/d/reflink-with-holes", false, true, 2 * GB, 1, NodeKind::apfsClone},
        {"/d/shared-dir", true, true, 10, 10, NodeKind::ordinary},
        {"/d/empty", false, false, 0, 0, NodeKind::ordinary},
        {"/d/all-hole", false, false, 2 * GB, 0, NodeKind::sparseDisk},
        {"/d/inline", false, false, 4096, 0, NodeKind::ordinary},
        // More logical than allocated bytes without sharing: a hole, whatever the size.
        {"/d/small-hole", false, false, 10'000, 4096, NodeKind::sparseDisk},
        {"/d/full", false, false, 4096, 4096, NodeKind::ordinary},
        {"/d/tail-block", false, false, 5000, 8192, NodeKind::ordinary},
        {"/d/huge", false, false, INT64_MAX, INT64_MAX / 4, NodeKind::sparseDisk},
        // Fewer blocks than bytes without a hole: compressed, not sparse.
        {"/d/compressed", false, false, 10'000, 4096, NodeKind::ordinary},
        {"/d/compressed-to-nothing", false, false, 10'000, 0, NodeKind::ordinary},
        {"/d/huge-full", false, false, INT64_MAX, INT64_MAX, NodeKind::ordinary},
    };
    NodeArena arena;
    test::FakeExtents extents;
    for (const auto& c : cases)
        if (c.shared) extents.blocks[c.path] = 1;
    extents.compressed = {"/d/compressed", "/d/compressed-to-nothing"};
    for (const auto& c : cases) {
        const ScanNode* node = makeNode(arena, c);
        EXPECT_EQ(NodeAdvice::kind(*node, extents), c.expected) << c.path;
        EXPECT_EQ(NodeAdvice::isSparseDisk(*node, extents),
                  c.expected == NodeKind::sparseDisk || c.expected == NodeKind::dockerRaw)
            << c.path;
    }
    // Why texts, by kind and protection.
    const struct {
        NodeCase node;
        const char* text;
    } whys[] = {
        {{"/usr/lib/libc.so", false, false, 1, 1, NodeKind::ordinary},
         "System path. It cannot be staged."},
        {{"/nonexistent-tarnbeck/dir", true, false, 1, 1, NodeKind::ordinary},
         "Folder size is the sum of its children on this scan."},
        {{"/nonexistent-tarnbeck/file", false, false, 1, 1, NodeKind::ordinary},
         "Allocated size is what this file occupies on disk."},
        // Another kind keeps its own text inside a protected location.
        {{"/usr/lib/model.gguf", false, false, 1, 1, NodeKind::weights},
         "Local model weights. Safe to stage if you can download them again."},
    };
    for (const auto& c : whys)
        EXPECT_EQ(NodeAdvice::why(*makeNode(arena, c.node), test::FakeExtents()), c.text)
            << c.node.path;
}

// On the disk: a hole is sparse unless the file is a core dump; a fresh file shares nothing.
TEST(NodeAdvice, AHoleIsSparseButACoreDumpIsNot) {
    test::TempDir dir;
    const struct {
        const char* name;
        const std::string& head;
        NodeKind expected;
    } cases[] = {
        {"core.4242", test::elfCore, NodeKind::coreDump},
        {"core.4243", test::elfProgram, NodeKind::sparseDisk}, // a program, not a core
        {"dump.img", test::elfCore, NodeKind::sparseDisk},     // not a core file's name
    };
    NodeArena arena;
    for (const auto& c : cases) {
        const std::string path = dir / c.name;
        test::writeFile(path, c.head + std::string(8192, 'x'));
        ASSERT_EQ(::truncate(path.c_str(), 3'000'000'000), 0);
        const ScanNode* node = nodeOnDisk(arena, path);
        EXPECT_EQ(NodeAdvice::kind(*node), c.expected) << c.name;
        EXPECT_EQ(NodeAdvice::why(*node).starts_with("Core dump"), c.expected == NodeKind::coreDump)
            << c.name;
    }
    const std::string sparse = dir / "dump.img";
    const std::string plain = dir / "plain.bin";
    test::writeSizedFile(plain, 100'000);
    const auto& reader = platform::systemExtentReader();
    EXPECT_FALSE(reader.hasSharedExtents(sparse).value_or(false));
    EXPECT_FALSE(reader.hasSharedExtents(plain).value_or(false));
    EXPECT_FALSE(reader.hasSharedExtents(dir / "missing"));
    EXPECT_FALSE(reader.hasSharedExtents(dir.path())); // folders are not asked
    EXPECT_FALSE(reader.firstSharedExtent(plain));     // its own blocks: no shared address
    EXPECT_EQ(reader.hasHoles(sparse), true);
    EXPECT_EQ(reader.hasHoles(plain), false);
    EXPECT_FALSE(reader.hasHoles(dir / "missing"));
}

TEST(ProtectedPaths, PrefixRuleSiblingsAndFoldersHoldingSystemPathsAndTrashes) {
    // Inside /run only what the user mounted is theirs; Linux paths no other row reaches.
    for (const char* path :
         {"/", "/run/user/1000/bus", "/run/media/ann", "/run/user/1000/gvfs", "/run/mediaX/ann/USB",
          "/var/lib/x", "/var/log/x", "/var/cache/apt/x", "/lib64/x", "/boot/x"})
        EXPECT_TRUE(ProtectedPaths::isProtectedResolvedPath(path)) << path;
    for (const char* path :
         {"/private/var", "/home/u/etc", "/home/u", "", "/run/media/ann/USB/photos",
          "/run/mount/disk/file", "/run/user/1000/gvfs/smb-share:server=nas,share=x/doc"})
        EXPECT_FALSE(ProtectedPaths::isProtectedResolvedPath(path)) << path;
    for (auto prefix : ProtectedPaths::prefixes) {
        const std::string p(prefix);
        EXPECT_TRUE(ProtectedPaths::isProtectedResolvedPath(p)) << p;
        EXPECT_TRUE(ProtectedPaths::isProtectedResolvedPath(p + "/child")) << p;
        // Below "/usr" every sibling stays protected by "/usr" itself.
        const bool underUsr = p.rfind("/usr/", 0) == 0;
        EXPECT_EQ(ProtectedPaths::isProtectedResolvedPath(p + "x"), underUsr) << p;
    }
    // Folders holding system paths, and Trashes.
    const struct {
        const char* path;
        bool holdsProtected;
        bool inTrash;
    } cases[] = {
        {"/var", true, false},
        {"/var/lib", false, false}, // protected itself, holds nothing more
        {"/home", false, false},
        {"/h/.local/share/Trash", false, true},
        {"/h/.local/share/Trash/files/x", false, true},
        {"/h/.local/share/Trashcan", false, false},
        {"/mnt/usb/.Trash-1000", false, true},
        {"/mnt/usb/.Trash-x/files/a", false, false},
        {"/mnt/usb/.Trash/1000/files/a", false, true},
        {"/mnt/usb/.Trash/notes", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProtectedPaths::holdsProtectedPath(c.path), c.holdsProtected) << c.path;
        EXPECT_EQ(ProtectedPaths::isInsideTrash(c.path, "/h/.local/share/Trash"), c.inTrash)
            << c.path;
    }
}

TEST(ProtectedPaths, DotSegmentsAndLinksAreResolvedFirst) {
    test::TempDir dir;
    test::makeDirs(dir / "home/docs");
    ASSERT_EQ(::symlink("/usr/lib", (dir / "home/lib-link").c_str()), 0);
    ASSERT_EQ(::symlink("/", (dir / "home/root-link").c_str()), 0);
    ASSERT_EQ(::symlink("/etc/hostname-missing", (dir / "home/dangling").c_str()), 0);

    // A final link is what would move, never its target: a venv's
    // bin/python3 into /usr/bin is the user's own link.
    test::makeDirs(dir / "home/venv/bin");
    ASSERT_EQ(::symlink("/usr/bin/python3", (dir / "home/venv/bin/python3").c_str()), 0);
    const std::string home = dir / "home";
    for (const char* p :
         {"/venv/bin/python3", "/lib-link", "/root-link", "/docs", "/docs/../../missing/x"})
        EXPECT_FALSE(ProtectedPaths::isProtected(home + p)) << p;
    EXPECT_FALSE(ProtectedPaths::isProtected("/usr/../home"));
    // Links on the way to an item are still followed.
    for (const char* p : {"/lib-link/no-such-file", "/lib-link/."})
        EXPECT_TRUE(ProtectedPaths::isProtected(home + p)) << p;
    // Merged-/usr systems link /bin and /lib into /usr: either way they stay protected.
    for (const char* p : {"/tmp/../usr/lib", "/usr/lib/../bin/./", "/bin/sh", "/lib", "/sbin"})
        EXPECT_TRUE(ProtectedPaths::isProtected(p)) << p;

    for (const char* p : {"/docs", "/lib-link", "/venv/bin/python3"})
        EXPECT_TRUE(ProtectedPaths::isSafeSelection(home + p)) << p;
    for (const std::string& p :
         {home + "/dangling", home + "/missing", std::string(), std::string("/proc/self")})
        EXPECT_FALSE(ProtectedPaths::isSafeSelection(p)) << p;
}

} // namespace
} // namespace tb
