#include <sys/stat.h>

#include <map>

#include "session/unreadable_folders.h"
#include "ui/shell/truth_bar_view.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

TEST(UnreadableFolders, TheWarningSaysHowManyAndTheListSaysWhichAndWhy) {
    EXPECT_EQ(TruthBarView::unreadableSummary(1).toStdString(),
              "1 folder could not be read; its size is missing.");
    EXPECT_EQ(TruthBarView::unreadableSummary(3).toStdString(),
              "3 folders could not be read; their sizes are missing.");

    TempDir dir;
    makeDirs(dir / "locked");
    makeDirs(dir / "open");
    TreeBuilder b(dir.path());
    b.dir(dir / "open")->setUnreadable(true);   // readable again since
    b.dir(dir / "gone")->setUnreadable(true);   // no longer there
    b.dir(dir / "locked")->setUnreadable(true); // denied, unless we are root
    b.file(dir / "file", 10);
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
    const ScanForest forest = b.forest();
    const auto all = unreadableFolders(forest, 10);
    ASSERT_EQ(all.size(), 3u);
    std::map<std::string, std::string> why;
    for (const auto& f : all)
        why[f.path] = f.reason;
    EXPECT_EQ(why[dir / "gone"], "No such file or directory");
    EXPECT_EQ(why[dir / "open"], "It can be read now; scan again to count it");
    if (::geteuid() != 0) {
        EXPECT_EQ(why[dir / "locked"], "Permission denied");
    }
    ::chmod((dir / "locked").c_str(), 0700);
    EXPECT_EQ(unreadableFolders(forest, 2).size(), 2u);

    const std::vector<UnreadableFolder> two = {{"/a", "Permission denied"}, {"/b", "Gone"}};
    EXPECT_EQ(TruthBarView::unreadableDetails(5, two).toStdString(),
              "/a: Permission denied\n/b: Gone\nand 3 more");
    EXPECT_EQ(TruthBarView::unreadableDetails(2, two).toStdString(),
              "/a: Permission denied\n/b: Gone");
}

TEST(UnreadableFolders, AScanByAUserTheFolderShutsOutNamesItWithTheReason) {
    if (!canActAsSecondUser()) GTEST_SKIP() << "needs root to act as uid 65534";
    TempDir dir;
    putSized(dir / "open/a.bin", 1000, 1);
    putSized(dir / "open/shut/deep/b.bin", 1000, 2); // below the first level
    for (const char* p : {"", "/open", "/open/shut/deep"})
        ASSERT_EQ(::chmod((dir.path() + p).c_str(), 0755), 0);
    ASSERT_EQ(::chmod((dir / "open/shut").c_str(), 0700), 0); // root's alone
    const std::string seen = inChildAsNobody([&] {
        const ScanForest forest = scanFolder(dir.path());
        std::string out = TruthBarView::unreadableSummary(forest.unreadable()).toStdString();
        for (const auto& f : unreadableFolders(forest, 5))
            out += "\n" + f.path + ": " + f.reason;
        return out;
    });
    EXPECT_EQ(seen, "1 folder could not be read; its size is missing.\n" + (dir / "open/shut") +
                        ": Permission denied");
}

TEST(UnreadableFolders, TheVolumeBarWarnsOnlyWhenAFolderWasNotRead) {
    TempHome home;
    const std::string tree = home.home() + "/tree";
    putSized(tree + "/mid/m.bin", 2000, 1);
    AppSession session;
    TruthBarView bar(session);
    bar.show();
    scanAndWait(session, tree);
    QCoreApplication::processEvents();
    EXPECT_EQ(session.unreadable(), 0);
    EXPECT_FALSE(bar.warning()->isVisible());
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder; the rest needs another user";
    ASSERT_EQ(::chmod((tree + "/mid").c_str(), 0), 0);
    scanAndWait(session, tree);
    QCoreApplication::processEvents();
    ::chmod((tree + "/mid").c_str(), 0700);
    EXPECT_TRUE(bar.warning()->isVisible());
    EXPECT_EQ(bar.warningText()->text(), TruthBarView::unreadableSummary(1));
}

} // namespace
} // namespace tb::test
