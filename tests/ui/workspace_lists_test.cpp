#include "base/date.h"
#include "ui/explore/age_map_view.h"
#include "ui/explore/scan_progress_panel.h"
#include "ui/explore/top_sizes_view.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

using ListWorkspace = WorkspaceTest;

TEST(BarWidths, AShareOfTheRowButNeverBelowAVisibleMinimum) {
    for (const auto& [bytes, whole, width] :
         {std::tuple{50, 100, 36.0}, {100, 100, 72.0}, {1, 100, 3.0}, {5, 0, 3.0}}) {
        EXPECT_DOUBLE_EQ(FolderRow::barWidth(bytes, whole), width) << bytes << "/" << whole;
    }
    EXPECT_DOUBLE_EQ(AgeBandRow::barWidth(250, 500, 300), 150);
    EXPECT_DOUBLE_EQ(AgeBandRow::barWidth(0, 0, 300), 4); // every band empty
    // The search list's toggle; the counts it shows below 500 are in the search test.
    EXPECT_EQ(ScanWorkspace::showAllText(500, 1716, false), QStringLiteral("Show 500 of 1,716"));
    EXPECT_EQ(ScanWorkspace::showAllText(500, 1716, true),
              QStringLiteral("Show fewer (the largest 500 of 1,716)"));
}

TEST_F(ListWorkspace, EmptyStateBeforeTheFirstScanAndProgressPanelWhileScanning) {
    flush();
    EXPECT_EQ(workspace->visualisation(), workspace->emptyState());
    session->setScanRoot(tree());
    flush();
    auto* scanButton = workspace->findChild<QPushButton*>(QStringLiteral("emptyScan"));
    ASSERT_TRUE(scanButton);
    EXPECT_EQ(scanButton->text(), QStringLiteral("Scan tree"));
    EXPECT_TRUE(shownButtons(workspace.get(), "breadcrumbRoot").empty()); // no forest yet
    // While scanning, the progress panel replaces the loaded scan.
    scan(tree());
    show(ViewMode::treemap);
    session->startScan();
    // Only the workspace's own queued redraw: a small tree's walk may finish
    // within one turn of the event loop.
    QCoreApplication::sendPostedEvents(workspace.get(), QEvent::MetaCall);
    ASSERT_TRUE(session->isScanning());
    ASSERT_TRUE(session->forest()); // the older scan is still loaded
    EXPECT_EQ(workspace->visualisation(), static_cast<QWidget*>(workspace->progressPanel()));
    ASSERT_TRUE(waitUntil([&] { return !session->isScanning(); }));
    ASSERT_TRUE(waitUntil([&] { return session->history().size() == 2; }));
    flush();
    EXPECT_EQ(workspace->visualisation(), static_cast<QWidget*>(workspace->treemap()));
}

TEST_F(ListWorkspace, SearchListsTwelveLargestHitsWithSizeAndPathAndShowsAllOnRequest) {
    for (int i = 0; i < 30; ++i)
        putSized(tree() + "/many/match_" + std::to_string(i), 4096 * (i + 1), unsigned(i));
    scan(tree());
    session->setSearchQuery("match_");
    ASSERT_TRUE(waitUntil([&] { return session->searchHits().size() == 30; }));
    flush();
    QTreeWidget* list = workspace->searchList();
    ASSERT_TRUE(list->isVisibleTo(workspace.get()));
    ASSERT_EQ(list->topLevelItemCount(), 12);
    const ScanNode* first = session->searchHits().front();
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("match_29")); // the largest
    EXPECT_EQ(list->topLevelItem(0)->text(1), DiskTheme::bytes(first->allocatedSize()));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("many/match_29"));
    EXPECT_EQ(workspace->showAllHits()->text(), QStringLiteral("Show all 30"));
    workspace->showAllHits()->click();
    EXPECT_EQ(list->topLevelItemCount(), 30);
    EXPECT_EQ(workspace->showAllHits()->text(), QStringLiteral("Show fewer"));

    // Choosing a file shows its folder with the file selected.
    click(list->viewport(), list->visualItemRect(list->topLevelItem(0)).center());
    EXPECT_EQ(session->selected(), first);
    EXPECT_EQ(session->displayRoot(), child(root(), "many"));

    session->setSearchQuery("");
    ASSERT_TRUE(waitUntil([&] { return session->searchHits().empty(); }));
    flush();
    EXPECT_FALSE(list->isVisibleTo(workspace.get()));
}

TEST_F(ListWorkspace, PastScanButtonOpensThatScanAtThatPath) {
    putSized(home.home() + "/other/needle.bin", 1000, 9);
    scan(home.home() + "/other");
    scan(tree());
    session->setSearchQuery("needle");
    ASSERT_TRUE(waitUntil([&] { return !session->historyHits().empty(); }));
    flush();
    const auto buttons = shownButtons(workspace.get(), "pastScan");
    ASSERT_EQ(buttons.size(), session->historyHits().size());
    const std::string path = home.home() + "/other/needle.bin";
    EXPECT_EQ(buttons.front()->text(), QStringLiteral("needle.bin · 4.1 KB"));
    EXPECT_EQ(buttons.front()->toolTip(), DiskTheme::displayText(path));
    buttons.front()->click();
    ASSERT_TRUE(waitUntil([&] {
        return !session->isScanning() && session->selected() && session->selected()->path() == path;
    }));
}

TEST_F(ListWorkspace, BreadcrumbShowsEveryFolderDownToTheFocusAndStepsBack) {
    putSized(tree() + "/big/deeper/deepest/z.bin", 1000, 7);
    scan(tree());
    show(ViewMode::treemap);
    EXPECT_TRUE(shownButtons(workspace.get(), "breadcrumbBack").empty());
    const ScanNode* big = child(root(), "big");
    const ScanNode* deepest = child(child(big, "deeper"), "deepest");
    session->jumpTo(deepest);
    flush();
    auto crumbs = shownButtons(workspace.get(), "breadcrumbItem");
    ASSERT_EQ(crumbs.size(), 3u);
    EXPECT_EQ(crumbs[0]->text(), QStringLiteral("big"));
    EXPECT_EQ(crumbs[2]->text(), QStringLiteral("deepest"));
    crumbs[0]->click();
    flush();
    EXPECT_EQ(session->displayRoot(), big);
    shownButtons(workspace.get(), "breadcrumbBack").at(0)->click();
    flush();
    EXPECT_EQ(session->displayRoot(), deepest);
    EXPECT_EQ(shownButtons(workspace.get(), "breadcrumbForward").size(), 1u);
}

TEST_F(ListWorkspace, FolderListClickSelectsDoubleClickDivesAndTopSizesIgnoreTheFocus) {
    scan(tree());
    show(ViewMode::folders);
    FolderBrowserView* list = workspace->folderBrowser();
    ASSERT_EQ(list->nodes().size(), root()->children().size());
    const ScanNode* big = list->nodes().front(); // largest first
    EXPECT_EQ(big, child(root(), "big"));
    click(list->viewport(), list->rowRect(1).center());
    EXPECT_EQ(session->selected(), list->nodes()[1]);
    EXPECT_EQ(session->displayRoot(), root());
    // A new scan selects its root, whichever row had the focus; an item
    // chosen in another view is the current row here.
    scan(tree());
    show(ViewMode::folders);
    EXPECT_EQ(session->selected(), root());
    show(ViewMode::types);
    session->jumpTo(child(root(), "a.bin"));
    show(ViewMode::folders);
    EXPECT_EQ(list->treeModel()->node(list->currentIndex()), child(root(), "a.bin"));

    const QPoint first = list->rowRect(0).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
    doubleClick(list->viewport(), first);
    EXPECT_EQ(list->root(), session->displayRoot());
    EXPECT_EQ(list->nodes().size(), big->children().size());

    session->dive(child(root(), "mid"));
    show(ViewMode::topsizes);
    TopSizesView* top = workspace->topSizes();
    EXPECT_EQ(top->nodes(), session->forest()->largestFiles());
    click(top->viewport(), top->rowRect(2).center());
    EXPECT_EQ(session->selected(), top->nodes()[2]);
    // Without a ranking, the root's own files, largest first; folders skipped.
    const auto rows = TopSizesView::rows(root(), {});
    ASSERT_EQ(rows.size(), 14u);
    EXPECT_EQ(rows.front()->name(), "a.bin");
}

TEST_F(ListWorkspace, AgeBandsCountEveryFileFillTheWidthForTheLargestAndFourPointsWhenEmpty) {
    // 45 new files beside the fixture's new ones; a.bin, two years old, alone
    // in "older": 30d, 90d and 1y are empty.
    for (int i = 0; i < 45; ++i)
        putSized(tree() + "/new/n" + std::to_string(i), 100, unsigned(i));
    setModified(tree() + "/a.bin", Date::now().seconds - 2 * 365 * 86400);
    scan(tree());
    show(ViewMode::agemap);
    AgeMapView* map = workspace->ageMap();
    ASSERT_EQ(map->rows().size(), 5u);
    std::int64_t files = 0;
    for (const ScanNode* n : session->forest()->nodes())
        files += n->isDirectory() ? 0 : 1;
    const struct {
        std::size_t band;
        QString count;
        double width;
    } cases[] = {
        {0, QString::number(files - 1) + " files", map->rows()[0]->barAvailableWidth()},
        {1, QStringLiteral("0 files"), 4},
        {3, QStringLiteral("0 files"), 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(map->bands()[c.band].id);
        EXPECT_EQ(map->rows()[c.band]->countText(), c.count);
        EXPECT_DOUBLE_EQ(map->rows()[c.band]->barRect().width(), c.width);
        EXPECT_DOUBLE_EQ(map->rows()[c.band]->barRect().height(), 16);
    }
    EXPECT_EQ(map->rows()[4]->countText(), QStringLiteral("1 file"));
    EXPECT_EQ(map->bands()[0].files.size(), 40u); // the list stays the 40 largest

    // Choosing "older" selects its largest file and lists its files.
    AgeBandRow* older = map->rows()[4];
    ASSERT_EQ(map->bands()[4].id, "older");
    click(older, older->rect().center());
    EXPECT_EQ(session->ageBucket(), std::optional<std::string>("older"));
    EXPECT_EQ(session->selected(), child(root(), "a.bin"));
    EXPECT_DOUBLE_EQ(older->barRect().height(), 22);
    EXPECT_EQ(map->fileList()->nodes(), map->bands()[4].files);
    // An empty band is chosen without touching the selection.
    click(map->rows()[1], map->rows()[1]->rect().center());
    EXPECT_EQ(session->ageBucket(), std::optional<std::string>("30d"));
    EXPECT_EQ(session->selected(), child(root(), "a.bin"));
    // The bands of a folder in focus count only its files.
    session->dive(child(root(), "big"));
    flush();
    std::int64_t total = 0;
    for (const AgeBand& band : workspace->ageMap()->bands())
        total += band.bytes;
    EXPECT_EQ(total, child(root(), "big")->allocatedSize());
}

TEST_F(ListWorkspace, NamesThatAreNotUtf8AreShownNotLost) {
    const std::string odd = std::string("odd\xff") + "\n.bin";
    writeSizedFile(tree() + "/" + odd, 2000, 7);
    scan(tree());
    show(ViewMode::folders);
    auto* model = workspace->folderBrowser()->treeModel();
    EXPECT_EQ(model->data(model->indexOf(child(root(), odd)), Qt::DisplayRole).toString(),
              QString::fromUtf8("odd\xEF\xBF\xBD\xE2\x8F\x8E.bin")); // U+FFFD, visible newline
    show(ViewMode::treemap);
    EXPECT_FALSE(workspace->grab().isNull());
}

using ExploreWorkspace = WorkspaceTest;

std::vector<std::string> firstNames(const FolderBrowserView& list, std::size_t n) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < n && i < list.nodes().size(); ++i)
        out.emplace_back(list.nodes()[i]->name());
    return out;
}

TEST_F(ExploreWorkspace, FolderTreeSortsByEveryColumnBothWays) {
    setModified(tree() + "/mid", 2'000'000'000);
    setModified(tree() + "/s10.bin", 100);
    scan(tree());
    show(ViewMode::folders);
    FolderBrowserView* list = workspace->folderBrowser();
    const struct Case {
        int column;
        Qt::SortOrder order;
        std::vector<std::string> first;
    } cases[] = {
        {FolderBrowserView::sizeColumn, Qt::DescendingOrder, {"big", "a.bin", "mid"}},
        {FolderBrowserView::sizeColumn, Qt::AscendingOrder, {"empty"}},
        {FolderBrowserView::nameColumn, Qt::AscendingOrder, {"a.bin", "big"}},
        {FolderBrowserView::nameColumn, Qt::DescendingOrder, {"s22.bin", "s21.bin"}},
        // 2 items, 1, then files largest first
        {FolderBrowserView::itemsColumn, Qt::DescendingOrder, {"big", "mid", "a.bin"}},
        {FolderBrowserView::modifiedColumn, Qt::DescendingOrder, {"mid"}},
        {FolderBrowserView::modifiedColumn, Qt::AscendingOrder, {"s10.bin"}},
    };
    for (const Case& c : cases) {
        list->sortByColumn(c.column, c.order);
        EXPECT_EQ(firstNames(*list, c.first.size()), c.first) << c.column << " " << c.order;
    }
    // An opened folder keeps its place and its rows through a sort.
    list->sortByColumn(FolderBrowserView::sizeColumn, Qt::DescendingOrder);
    const QModelIndex big = list->treeModel()->indexOf(child(root(), "big"));
    list->expand(big);
    list->sortByColumn(FolderBrowserView::nameColumn, Qt::AscendingOrder);
    const QModelIndex moved = list->treeModel()->indexOf(child(root(), "big"));
    EXPECT_EQ(moved.row(), 1);
    EXPECT_TRUE(list->isExpanded(moved));
    EXPECT_EQ(list->treeModel()->rowCount(moved), 2);
    const ScanNode* x = child(child(root(), "big"), "x.bin");
    const double share =
        100.0 * double(x->allocatedSize()) / double(child(root(), "big")->allocatedSize());
    EXPECT_EQ(list->treeModel()
                  ->data(list->treeModel()->index(0, FolderBrowserView::shareColumn, moved),
                         Qt::DisplayRole)
                  .toString(),
              QString::number(share, 'f', 1) + QStringLiteral(" %")); // of its own folder
}

TEST_F(ExploreWorkspace, FolderTreeKeysMoveOpenGoInAndComeBack) {
    scan(tree());
    show(ViewMode::folders);
    FolderBrowserView* list = workspace->folderBrowser();
    list->setFocus();
    const ScanNode* big = child(root(), "big");
    session->select(big);
    flush();
    press(list, Qt::Key_Down);
    EXPECT_EQ(session->selected(), child(root(), "a.bin"));
    press(list, Qt::Key_Up);
    EXPECT_EQ(session->selected(), big);
    press(list, Qt::Key_Right); // opens the row in place
    EXPECT_TRUE(list->isExpanded(list->treeModel()->indexOf(big)));
    press(list, Qt::Key_Down);
    EXPECT_EQ(session->selected(), child(big, "x.bin"));
    press(list, Qt::Key_Left); // to the folder's row
    press(list, Qt::Key_Left); // and closes it
    EXPECT_EQ(session->selected(), big);
    EXPECT_FALSE(list->isExpanded(list->treeModel()->indexOf(big)));

    QTest::keyClicks(list, "mi"); // type-ahead
    flush();
    EXPECT_EQ(session->selected(), child(root(), "mid"));
    session->select(big);
    flush();
    press(list, Qt::Key_Return);
    EXPECT_EQ(session->displayRoot(), big);
    EXPECT_EQ(list->root(), big);
    press(list, Qt::Key_Backspace);
    EXPECT_EQ(session->displayRoot(), root());
    EXPECT_EQ(session->selected(), big); // the folder we came from
    press(list, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(session->displayRoot(), big);
    press(list, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(session->displayRoot(), root());
    session->dive(big);
    press(list, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(session->displayRoot(), root());
}

} // namespace
} // namespace tb::test
