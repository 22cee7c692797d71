#include <QDateTime>

#include "layout/file_kinds.h"
#include "layout/map_depth.h"
#include "layout/map_keys.h"
#include "ui/explore/maps/kind_legend.h"
#include "ui/explore/types_view.h"
#include "workspace_fixture.h"

namespace tb::test {
namespace {

using MapPicture = WorkspaceTest;
using FileKinds::Kind;

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

TEST_F(MapPicture, ColourByTypeColoursTheThreeMapsAndItsLegendShowsOnlyWithThem) {
    writeSizedFile(tree() + "/big/movie.mkv", 700'000, 30);
    scan(tree());
    workspace->setMapDepth(1);
    show(ViewMode::treemap);
    auto* button = workspace->findChild<QToolButton*>(QStringLiteral("colourByType"));
    ASSERT_TRUE(button && button->isVisible());
    EXPECT_FALSE(workspace->kindLegend()->isVisible());
    QSignalSpy changed(workspace.get(), &ScanWorkspace::mapSettingsChanged);
    button->click();
    EXPECT_EQ(changed.count(), 1);

    // "big" holds more video than anything else: its tile takes video's
    // colour, once found beside the interface thread; .bin is of no known kind.
    TreemapView* map = workspace->treemap();
    ASSERT_TRUE(waitUntil([&] { return map->coloursReady(); }));
    flush();
    auto colourOf = [&](const char* name) {
        const QPoint p = centreOf(hitFor(map->hits(), child(root(), name)).rect);
        return map->grab().toImage().pixelColor(p);
    };
    const QColor video = DiskTheme::kindHue(std::size_t(Kind::video));
    EXPECT_TRUE(near(colourOf("big"), video));
    EXPECT_TRUE(near(colourOf("a.bin"), DiskTheme::kindHue(std::size_t(Kind::other))));
    for (const auto& [mode, legend] : {std::pair{ViewMode::sunburst, true},
                                       {ViewMode::flame, true},
                                       {ViewMode::folders, false},
                                       {ViewMode::bubbles, false},
                                       {ViewMode::treemap, true}}) {
        show(mode);
        EXPECT_EQ(workspace->kindLegend()->isVisible(), legend) << int(mode);
        EXPECT_EQ(button->isVisible(), legend) << int(mode);
        const auto* shown = dynamic_cast<const MapView*>(workspace->visualisation());
        if (legend) {
            ASSERT_TRUE(shown);
            EXPECT_EQ(shown->colours(), MapColours::kinds);
        }
    }
    button->click();
    flush();
    EXPECT_FALSE(workspace->kindLegend()->isVisible());
    EXPECT_FALSE(near(colourOf("big"), video));
}

TEST_F(MapPicture, AllLevelsGoesDeeperThanFourAndTheChoicesComeBackInTheNextRun) {
    putSized(tree() + "/big/l1/l2/l3/l4/l5/deep.bin", 3'000'000, 40);
    scan(tree());
    show(ViewMode::treemap);
    auto* depth = workspace->findChild<QComboBox*>(QStringLiteral("mapDepth"));
    ASSERT_TRUE(depth);
    EXPECT_EQ(depth->itemText(depth->count() - 1), QStringLiteral("All levels"));
    auto deepest = [](const std::vector<RectHit>& hits) {
        int d = 0;
        for (const RectHit& h : hits)
            d = std::max(d, h.depth);
        return d;
    };
    workspace->setMapDepth(4);
    flush();
    EXPECT_EQ(deepest(workspace->treemap()->hits()), 3);
    QSignalSpy changed(workspace.get(), &ScanWorkspace::mapSettingsChanged);
    depth->setCurrentIndex(depth->count() - 1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(workspace->mapDepth(), MapDepth::all);
    EXPECT_EQ(workspace->treemap()->depth(), MapDepth::all);
    EXPECT_GE(deepest(workspace->treemap()->hits()), 5);
    show(ViewMode::sunburst);
    int rings = 0;
    for (const WedgeHit& w : workspace->sunburst()->hits())
        rings = std::max(rings, w.depth + 1);
    EXPECT_GE(rings, 6);

    // QSettings keeps the first folder it was given for the whole process:
    // the round trips run in a child, in a folder of their own.
    const std::string config = home.home() + "/maps-config";
    const std::string outcome = inChild([&]() -> std::string {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(config));
        std::string out;
        workspace->setColourByType(true);
        saveMapSettings(*workspace);
        workspace->setMapDepth(2);
        workspace->setColourByType(false);
        restoreMapSettings(*workspace);
        if (workspace->mapDepth() != MapDepth::all) out += "depth not restored\n";
        if (!workspace->colourByType()) out += "colours not restored\n";
        // A value that means nothing changes nothing.
        {
            QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tarnbeck"),
                        QStringLiteral("Tarnbeck"));
            s.setValue(QStringLiteral("maps/depth"), QStringLiteral("9"));
            s.setValue(QStringLiteral("maps/colours"), QStringLiteral("rainbow"));
        }
        workspace->setMapDepth(2);
        restoreMapSettings(*workspace);
        if (workspace->mapDepth() != 2) out += "a bad depth was taken\n";
        if (!workspace->colourByType()) out += "a bad colour setting was taken\n";
        return out.empty() ? "ok" : out;
    });
    EXPECT_EQ(outcome, "ok");
}

TEST_F(MapPicture, ArrowsMoveBetweenSiblingsEnterDivesBackspaceComesBack) {
    scan(tree());
    workspace->setMapDepth(1);
    show(ViewMode::treemap);
    TreemapView* map = workspace->treemap();
    map->setFocus();
    const auto& hits = map->hits();
    auto places = [&] {
        std::vector<MapKeys::Shape> out;
        for (const RectHit& h : map->hits())
            out.push_back({root(), {h.rect.x + h.rect.width / 2, h.rect.y + h.rect.height / 2}});
        return out;
    };
    EXPECT_FALSE(map->currentShape());
    press(map, Qt::Key_Right); // the keys begin at the first shape
    ASSERT_EQ(map->currentShape(), 0u);
    ASSERT_TRUE(map->hover());
    EXPECT_EQ(map->hover()->node, hits[0].node); // its name and size in the caption

    // Every arrow goes where the pure rule says, selecting as it goes.
    std::size_t at = 0;
    for (const auto& [key, arrow] : {std::pair{Qt::Key_Right, MapKeys::Arrow::right},
                                     {Qt::Key_Down, MapKeys::Arrow::down},
                                     {Qt::Key_Left, MapKeys::Arrow::left},
                                     {Qt::Key_Up, MapKeys::Arrow::up}}) {
        const auto wanted = MapKeys::step(places(), at, arrow).value_or(at);
        press(map, key);
        ASSERT_EQ(map->currentShape(), wanted) << int(arrow);
        at = wanted;
        EXPECT_EQ(session->selected(), hits[at].node);
    }

    // Enter on a folder goes in; Backspace comes back to it.
    const ScanNode* big = child(root(), "big");
    session->select(big);
    flush();
    ASSERT_EQ(map->hits()[*map->currentShape()].node, big);
    press(map, Qt::Key_Return);
    EXPECT_EQ(session->displayRoot(), big);
    press(map, Qt::Key_Backspace);
    EXPECT_EQ(session->displayRoot(), root());
    ASSERT_TRUE(map->currentShape());
    EXPECT_EQ(map->hits()[*map->currentShape()].node, big);

    // The bucket: current after a click though nothing is selected; Enter
    // lists what it holds.
    click(map, centreOf(hitFor(map->hits(), nullptr).rect));
    ASSERT_TRUE(map->currentShape());
    EXPECT_EQ(map->hits()[*map->currentShape()].node, nullptr);
    press(map, Qt::Key_Enter);
    EXPECT_TRUE(workspace->bucketList());

    // The flame's keys begin below the root's own bar.
    session->select(nullptr);
    show(ViewMode::flame);
    FlameView* flame = workspace->flame();
    flame->setFocus();
    press(flame, Qt::Key_Down);
    ASSERT_TRUE(flame->currentShape());
    EXPECT_EQ(flame->hits()[*flame->currentShape()].parent, root());
}

TEST_F(MapPicture, AFoldersModifiedIsItsNewestInsideAndTheInspectorSaysWhoseTimeItShows) {
    setModified(tree() + "/mid/m.bin", 1'300'000'000);
    setModified(tree() + "/mid", 1'000'000'000);
    scan(tree());
    show(ViewMode::folders);
    FolderTreeModel* model = workspace->folderBrowser()->treeModel();
    const int column = FolderBrowserView::modifiedColumn;
    EXPECT_EQ(model->data(model->indexOf(child(root(), "mid"), column), Qt::DisplayRole).toString(),
              QDateTime::fromSecsSinceEpoch(1'300'000'000).toString("yyyy-MM-dd HH:mm"));
    EXPECT_FALSE(model->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty());

    InspectorView inspector(*session);
    session->select(child(root(), "mid"));
    flush();
    auto* label = inspector.findChild<QLabel*>(QStringLiteral("modifiedLabel"));
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), QStringLiteral("Folder itself modified"));
    session->select(child(root(), "a.bin"));
    flush();
    EXPECT_EQ(label->text(), QStringLiteral("Modified"));
}

TEST_F(MapPicture, TypesListEachKindsExtensionsAndLargestFilesFollowingTheSelection) {
    writeSizedFile(tree() + "/big/movie.mkv", 700'000, 30);
    writeSizedFile(tree() + "/big/clip.MKV", 100'000, 31);
    writeSizedFile(tree() + "/mid/talk.mp4", 50'000, 32);
    scan(tree());
    show(ViewMode::types);
    TypesView* types = workspace->types();
    ASSERT_TRUE(waitUntil([&] { return !types->groups().empty(); }));
    EXPECT_EQ(types->groups()[0].kind, Kind::other); // the .bin files
    QTreeWidgetItem* video = types->kindList()->topLevelItem(1);
    ASSERT_EQ(video->text(0), QStringLiteral("Video"));
    ASSERT_EQ(video->childCount(), 2);
    EXPECT_TRUE(video->isExpanded());
    const ScanNode* movie = child(child(root(), "big"), "movie.mkv");
    const ScanNode* clip = child(child(root(), "big"), "clip.MKV");
    EXPECT_EQ(video->child(0)->text(0), QStringLiteral(".mkv"));
    EXPECT_EQ(video->child(0)->text(1),
              DiskTheme::bytes(movie->allocatedSize() + clip->allocatedSize()));
    EXPECT_EQ(video->child(0)->text(3), QStringLiteral("2"));
    EXPECT_TRUE(video->child(0)->text(2).endsWith(QStringLiteral(" %")));
    EXPECT_EQ(video->child(1)->text(0), QStringLiteral(".mp4"));
    // Choosing an extension's row lists its kind's largest files.
    types->kindList()->setCurrentItem(video->child(1));
    QTreeWidget* files = types->fileList();
    ASSERT_EQ(files->topLevelItemCount(), 3);
    EXPECT_EQ(files->topLevelItem(0)->text(2), QStringLiteral("big/movie.mkv"));
    // The highlight follows the selection made anywhere.
    session->select(movie);
    EXPECT_TRUE(files->topLevelItem(0)->isSelected());
    session->select(root());
    EXPECT_TRUE(files->selectedItems().isEmpty());

    EXPECT_EQ(TypesView::extensionText({"", 1, 1}), QStringLiteral("No extension"));
    EXPECT_EQ(TypesView::extensionText({"", 1, 1, true}), QStringLiteral("Other extensions"));
}

} // namespace
} // namespace tb::test
