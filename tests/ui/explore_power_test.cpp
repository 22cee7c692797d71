#include "layout/nested_treemap_layout.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

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

TEST_F(ExploreWorkspace, DeepMapsHitTheDeepestShapeBucketsListWhatTheyHoldAndMenusAct) {
    scan(tree());
    show(ViewMode::treemap);
    flush();
    EXPECT_EQ(workspace->mapDepth(), 3); // nested from the first look
    TreemapView* map = workspace->treemap();
    const ScanNode* big = child(root(), "big");
    const ScanNode* x = child(big, "x.bin");
    const RectHit& inner = hitFor(map->hits(), x);
    EXPECT_EQ(inner.depth, 1);
    click(map, centreOf(inner.rect));
    EXPECT_EQ(session->selected(), x); // a file inside a frame: selected, no dive
    EXPECT_EQ(session->displayRoot(), root());

    const RectHit& bucket = hitFor(map->hits(), nullptr);
    click(map, centreOf(bucket.rect));
    ASSERT_TRUE(workspace->bucketList());
    auto* list = workspace->bucketList()->findChild<QTreeWidget*>();
    ASSERT_EQ(list->topLevelItemCount(), 5); // 17 children, 12 drawn
    const ScanNode* smallest = ScanWorkspace::bucketItems(root()).back();
    emit list->itemClicked(list->topLevelItem(4), 0);
    flush();
    EXPECT_EQ(session->selected(), smallest);

    session->resetFocus();
    show(ViewMode::sunburst);
    SunburstView* rings = workspace->sunburst();
    EXPECT_EQ(rings->depth(), 3);
    const WedgeHit& w = hitFor(rings->hits(), x);
    EXPECT_EQ(w.depth, 1);
    EXPECT_EQ(rings->locate(centreOf(w, rings->centre())).value_or(MapTarget{}).node, x);

    auto texts = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator()) out << a->text();
        }
        return out;
    };
    QWidget parent;
    QMenu* folderMenu = NodeMenu::build(*session, *big, &parent);
    EXPECT_EQ(texts(folderMenu),
              (QStringList{"Open", "Show in Files", "Open Terminal Here", "Copy Path", "Inspect",
                           "Add to Review Queue", "Rescan This Folder", "Exclude This Folder",
                           "Move to Trash\u2026"}));
    QMenu* fileMenu = NodeMenu::build(*session, *child(root(), "a.bin"), &parent);
    EXPECT_FALSE(texts(fileMenu).contains(QStringLiteral("Open Terminal Here")));
    for (QAction* a : folderMenu->actions()) {
        if (a->text() == QStringLiteral("Inspect")) a->trigger();
        if (a->text() == QStringLiteral("Add to Review Queue")) a->trigger();
    }
    EXPECT_EQ(session->selected(), big);
    EXPECT_TRUE(session->showInspector());
    ASSERT_EQ(session->staging().items().size(), 1u);
}

} // namespace
} // namespace tb::test
