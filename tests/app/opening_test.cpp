#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/opening.h"
#include "store/scan_store.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

// Bytes this thread has asked the kernel to read, page cache or not.
std::int64_t bytesReadByThisThread() {
    std::ifstream io("/proc/thread-self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

TEST(Opening, StoredScanIsCheckedWithoutReadingItsTree) {
    test::TempHome home;
    test::TreeBuilder b("/big");
    for (int d = 0; d < 40; ++d) {
        const std::string dir = "/big/folder-" + std::to_string(d);
        b.dir(dir);
        for (int f = 0; f < 1000; ++f)
            b.file(dir + "/a-rather-long-file-name-" + std::to_string(f), 4096 + f);
    }
    b.rollUp();
    auto saved = ScanStore::save(b.forest(test::testContext("/big"), 0, 40'041), "/big");
    ASSERT_TRUE(saved);
    const std::int64_t fileSize = test::readFile(saved->fileURL).size();
    ASSERT_GT(fileSize, 3'000'000);

    const std::int64_t before = bytesReadByThisThread();
    ASSERT_GE(before, 0) << "no /proc/thread-self/io";
    auto opening = resolveOpening(saved->fileURL);
    const std::int64_t read = bytesReadByThisThread() - before;
    ASSERT_TRUE(opening);
    ASSERT_TRUE(opening->scan);
    EXPECT_EQ(opening->scan->id, saved->id);
    EXPECT_FALSE(opening->folder);
    EXPECT_LT(read, fileSize / 4) << "read " << read << " of " << fileSize;
}

TEST(Opening, FolderScanFileAndRefusals) {
    test::TempHome home;
    test::TempDir dir;
    auto folder = resolveOpening(dir.path());
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->folder, dir.path());

    const std::string notAScan = dir / "x.sqlite";
    test::writeFile(notAScan, "plain text");
    EXPECT_FALSE(resolveOpening(notAScan));
    EXPECT_FALSE(resolveOpening(dir / "absent"));
    test::writeFile(dir / "notes.txt", "text");
    EXPECT_FALSE(resolveOpening(dir / "notes.txt"));
}

} // namespace
} // namespace tb
