// One user's session, end to end, in a temporary home: scan a real folder,
// reopen the stored scan, search, find duplicates, queue a copy and a folder,
// move them to the Trash and put them back.
#include <gtest/gtest.h>

#include "base/path.h"
#include "platform/file_system.h"
#include "session/app_session.h"
#include "store/scan_store.h"
#include "support/event_loop.h"
#include "support/session_scan.h"
#include "support/temp_dir.h"
#include "support/tree_builder.h"

namespace tb {
namespace {

using namespace tb::test;

TEST(SessionFlow, ScanReopenSearchDuplicatesStageTrashRestore) {
    TempHome home;
    const std::string root = home.home() + "/Projects";
    const std::string odd = root + "/notes 100% \"draft\"\n\xff.txt";
    putSized(root + "/photos/beach.jpg", 300'000, 11);
    putSized(root + "/app/beach-copy.jpg", 300'000, 11);
    putSized(root + "/app/build/cache/blob", 50'000, 12);
    writeFile(odd, "keep me");

    AppSession session;
    session.prepareWorkspaceIfNeeded();

    // Scan.
    session.handleDroppedFolder(root);
    EXPECT_EQ(session.tab(), AppTab::explore);
    ASSERT_TRUE(waitUntil([&] { return !session.isScanning(); }));
    ASSERT_TRUE(waitUntil([&] { return session.history().size() == 1; }));
    const ScanForest scanned = *session.forest();
    EXPECT_EQ(scanned.visited(), 8);
    EXPECT_EQ(scanned.unreadable(), 0);
    EXPECT_TRUE(scanned.context().complete);
    ASSERT_TRUE(findNode(scanned, odd));
    EXPECT_EQ(session.history().front().rootPath, root);

    // Reopen the stored scan at the awkward file.
    session.loadHistory(session.history().front(), odd);
    ASSERT_TRUE(waitUntil([&] { return !session.isScanning(); }));
    ASSERT_TRUE(session.selected());
    EXPECT_EQ(session.selected()->path(), odd);

    // Search: "100%" matches the awkward name in the tree.
    session.setSearchQuery("100%");
    ASSERT_TRUE(waitUntil([&] { return !session.searchHits().empty(); }));
    EXPECT_EQ(session.searchHits().front()->path(), odd);

    // Duplicates, then queue the first copy.
    session.findDuplicates();
    ASSERT_TRUE(waitUntil([&] { return !session.isFindingDuplicates(); }));
    ASSERT_EQ(session.duplicates().size(), 1u);
    EXPECT_EQ(session.statusMessage(), "Found 1 group.");
    const DuplicateGroup group = session.duplicates().front();
    ASSERT_EQ(group.paths.size(), 2u);
    session.stageDuplicate(group.paths.front(), group.size,
                           "Duplicate; keep another copy before moving this one.");
    ASSERT_EQ(session.staging().items().size(), 1u);
    EXPECT_EQ(session.staging().items()[0].name, Path::lastComponent(group.paths.front()));

    // Queue a folder from the tree and the awkward file.
    const ScanNode* build = findNode(*session.forest(), root + "/app/build");
    ASSERT_TRUE(build);
    session.staging().stage(*build);
    session.staging().stage(*findNode(*session.forest(), odd));
    ASSERT_EQ(session.staging().items().size(), 3u);

    // Trash everything: all three move, nothing is deleted.
    session.staging().trashAll();
    EXPECT_TRUE(session.staging().items().empty());
    ASSERT_EQ(session.staging().receipts().size(), 3u);
    for (const auto& r : session.staging().receipts()) {
        EXPECT_TRUE(r.succeeded) << r.name << ": " << r.message;
        ASSERT_TRUE(r.trashedURL);
        EXPECT_TRUE(exists(*r.trashedURL));
        EXPECT_FALSE(exists(r.originalURL));
    }

    // Put everything back.
    const auto receipts = session.staging().receipts();
    for (const auto& r : receipts)
        session.staging().restore(r);
    EXPECT_TRUE(exists(root + "/app/build/cache/blob"));
    EXPECT_TRUE(exists(group.paths.front()));
    EXPECT_EQ(readFile(odd), "keep me");
    EXPECT_TRUE(platform::FileSystem::listNames(home.dataHome() + "/Trash/info")->empty());

    // A second scan of the same folder sees nothing noticeable.
    scanAndWait(session, root);
    EXPECT_TRUE(session.changes().empty());
}

} // namespace
} // namespace tb
