#include "layout/bubble_layout.h"
#include "layout/nested_treemap_layout.h"
#include "layout/sunburst_layout.h"
#include "ui/explore/maps/bubble_view.h"
#include "ui/explore/maps/mind_map_view.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

// The one-level maps: what a click does on each shape.
class MapWorkspace : public WorkspaceTest {
protected:
    void SetUp() override {
        WorkspaceTest::SetUp();
        workspace->setMapDepth(1);
    }
};

// A point where the bubble hit test finds `node`: a circle that found no
// place sits in the centre, over the first one, so its own centre may not do.
QPoint pointOnBubble(const BubbleView& map, const ScanNode* node) {
    for (int y = 0; y < map.height(); y += 3) {
        for (int x = 0; x < map.width(); x += 3) {
            const auto hit = BubbleLayout::hit(Point{double(x), double(y)}, map.hits());
            if (hit && hit->node == node) return QPoint(x, y);
        }
    }
    ADD_FAILURE() << "no point hits the bubble";
    return {};
}

TEST_F(MapWorkspace, TreemapClickSelectsFileDivesIntoFolderAndClearsOnBucketAndEmptyFormsDraw) {
    scan(tree());
    show(ViewMode::treemap);
    TreemapView* map = workspace->treemap();
    click(map, centreOf(hitFor(map->hits(), child(root(), "a.bin")).rect));
    EXPECT_EQ(session->selected(), child(root(), "a.bin"));
    click(map, centreOf(hitFor(map->hits(), nullptr).rect));
    EXPECT_EQ(session->selected(), nullptr);
    doubleClick(map, centreOf(hitFor(map->hits(), nullptr).rect));
    EXPECT_EQ(session->displayRoot(), root());

    // A real double click: the first click dives, the second arrives as a
    // double click at the same point over the new layout.
    const ScanNode* big = child(root(), "big");
    const QPoint p = centreOf(hitFor(map->hits(), big).rect);
    click(map, p);
    EXPECT_EQ(session->selected(), big);
    ASSERT_EQ(map->hits().size(), 2u); // the layout follows the new root
    doubleClick(map, p);
    EXPECT_EQ(session->displayRoot(), big);
    EXPECT_EQ(session->trail().size(), 1u);

    // A folder without children: each map's empty form.
    session->jumpTo(child(root(), "empty"));
    flush();
    EXPECT_TRUE(workspace->treemap()->hits().empty());
    show(ViewMode::sunburst);
    EXPECT_TRUE(workspace->sunburst()->hits().empty());
    show(ViewMode::flame);
    EXPECT_EQ(workspace->flame()->hits().size(), 1u);
    show(ViewMode::bubbles);
    EXPECT_TRUE(workspace->bubbles()->hits().empty());
    show(ViewMode::mindmap);
    EXPECT_TRUE(workspace->mindMap()->hits().empty());
    EXPECT_FALSE(workspace->mindMap()->grab().isNull());
}

// One click on a folder: the sunburst and flame go in, as the treemap does;
// bubbles and the mind map only select it, and a double click goes in.
TEST_F(MapWorkspace, FolderClicksFollowEachMapsDiveRule) {
    scan(tree());
    const ScanNode* big = child(root(), "big");
    struct Case {
        ViewMode mode;
        bool dives;
        std::function<QPoint()> pointOnBig;
    };
    const std::vector<Case> cases = {
        {ViewMode::flame, true,
         [&] { return centreOf(hitFor(workspace->flame()->hits(), big).rect); }},
        {ViewMode::sunburst, true,
         [&] {
             return centreOf(hitFor(workspace->sunburst()->hits(), big),
                             workspace->sunburst()->centre());
         }},
        {ViewMode::bubbles, false, [&] { return pointOnBubble(*workspace->bubbles(), big); }},
        {ViewMode::mindmap, false,
         [&] { return toQPoint(hitFor(workspace->mindMap()->hits(), big).end); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(info(c.mode).id));
        session->resetFocus();
        show(c.mode);
        QWidget* map = workspace->visualisation();
        const QPoint p = c.pointOnBig();
        click(map, p);
        EXPECT_EQ(session->selected(), big);
        EXPECT_EQ(session->displayRoot(), c.dives ? big : root());
        if (!c.dives) {
            doubleClick(map, p);
            EXPECT_EQ(session->displayRoot(), big);
            EXPECT_EQ(session->trail().size(), 1u);
        }
    }
}

TEST_F(MapWorkspace, ClickOutsideEveryShapeChangesNothingAndHoverNamesTheShape) {
    scan(tree());
    const ScanNode* file = child(root(), "a.bin");
    session->select(file);
    show(ViewMode::sunburst);
    const QPointF c = workspace->sunburst()->centre();
    click(workspace->sunburst(), c.toPoint());  // the hole in the ring
    click(workspace->sunburst(), QPoint(2, 2)); // outside the ring
    EXPECT_EQ(session->selected(), file);
    show(ViewMode::mindmap);
    click(workspace->mindMap(), QPoint(workspace->mindMap()->width() - 5, 5));
    EXPECT_EQ(session->selected(), file);

    show(ViewMode::bubbles);
    BubbleView* map = workspace->bubbles();
    const ScanNode* big = child(root(), "big");
    hover(map, pointOnBubble(*map, big));
    ASSERT_TRUE(map->hover());
    EXPECT_EQ(map->hover()->label, "big");
    EXPECT_EQ(map->hover()->bytes, big->allocatedSize());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(map, &leave);
    EXPECT_FALSE(map->hover());
}

TEST_F(MapWorkspace, LayoutFollowsTheWidgetSizeAndANewForestDropsTheOldTreesShapesAtOnce) {
    scan(tree());
    show(ViewMode::treemap);
    workspace->resize(1100, 760);
    flush();
    const QSize size = workspace->treemap()->size();
    Rect covered;
    for (const RectHit& h : workspace->treemap()->hits()) {
        covered.width = std::max(covered.width, h.rect.x + h.rect.width + 1);
        covered.height = std::max(covered.height, h.rect.y + h.rect.height + 1);
    }
    EXPECT_DOUBLE_EQ(covered.width, size.width());
    EXPECT_DOUBLE_EQ(covered.height, size.height());

    // The session announces the new forest while its focus and selection
    // still name nodes of the old one: by then the map holds none of them.
    int checked = 0;
    QObject::connect(session.get(), &AppSession::changed, workspace.get(), [&](SessionField f) {
        if (f != SessionField::forest) return;
        ++checked;
        EXPECT_EQ(workspace->treemap()->root(), nullptr);
        EXPECT_TRUE(workspace->treemap()->hits().empty());
        EXPECT_TRUE(workspace->folderBrowser()->nodes().empty());
    });
    scan(tree());
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(workspace->treemap()->root(), root());
    EXPECT_FALSE(workspace->treemap()->hits().empty());
}

using ExploreWorkspace = WorkspaceTest;

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
