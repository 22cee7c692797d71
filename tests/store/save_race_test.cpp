// A save racing a history read: the read removes temporaries left by killed
// saves, and must never take a save that has just begun for one of them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "store/scan_store.h"
#include "store_test_support.h"
#include "support/temp_dir.h"

namespace tb {
namespace {

TEST(SaveRace, EverySaveSucceedsWhileTheHistoryIsRead) {
    test::TempHome home;
    test::TreeBuilder b;
    const ScanForest forest = test::forestOf(b.tree(b.dir("/x", {b.file("/x/a", 10)})));
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done)
            (void)ScanStore::history();
    });
    int failed = 0;
    for (int i = 0; i < 300; ++i)
        failed += ScanStore::save(forest, "/x") ? 0 : 1;
    done = true;
    reader.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(ScanStore::history().size(), 300u);
}

} // namespace
} // namespace tb
