// The Explore tab's detail pane: an instruction line, the breadcrumb of the
// focus trail, quick search results from this and past scans, and the node in
// focus drawn in the session's view mode (or the progress panel while a scan
// runs, or the empty state before the first scan). Backspace and Alt+Up go
// up a folder, Alt+Left and Alt+Right (and the mouse's back and forward
// buttons) move through the focus history. Holds no state of its own:
// everything it shows is read from the session, and every action is a
// session command. Interface thread only.
//
// The session announces fields one at a time while it replaces several of
// them (a new forest, then its selection and focus); the pane redraws once,
// after the last of them, so it never reads a half-updated state.
#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

#include "session/app_enums.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QHBoxLayout;
class QComboBox;
class QTreeWidget;

namespace tb {

class AppSession;
class ScanNode;
class AgeMapView;
class BubbleView;
class FlameView;
class FolderBrowserView;
class MindMapView;
class ScanProgressPanel;
class SunburstView;
class TopSizesView;
class TreemapView;
class TypesView;
class ButtonRow;
class KindLegend;

class ScanWorkspace : public QWidget {
    Q_OBJECT
public:
    static constexpr std::size_t searchButtonLimit = 12;
    static constexpr int defaultDepth = 3;

    explicit ScanWorkspace(AppSession& session, QWidget* parent = nullptr);

    // What fills the visualisation area now.
    QWidget* visualisation() const;
    QWidget* viewFor(ViewMode mode) const;
    ScanProgressPanel* progressPanel() const { return progress_; }
    QWidget* emptyState() const { return empty_; }
    FolderBrowserView* folderBrowser() const { return folders_; }
    TreemapView* treemap() const { return treemap_; }
    SunburstView* sunburst() const { return sunburst_; }
    FlameView* flame() const { return flame_; }
    BubbleView* bubbles() const { return bubbles_; }
    MindMapView* mindMap() const { return mindMap_; }
    TopSizesView* topSizes() const { return topSizes_; }
    AgeMapView* ageMap() const { return ageMap_; }
    TypesView* types() const { return types_; }
    QTreeWidget* searchList() const { return searchList_; }
    QPushButton* showAllHits() const { return showAll_; }
    // The search list's toggle: "Show all 30", "Show 500 of 1,716" when the
    // search kept only the largest matches, "Show fewer" while all are shown.
    static QString showAllText(std::size_t listed, std::size_t matched, bool showingAll);
    // Levels the treemap and the sunburst show at once, 1 to 4 or
    // MapDepth::all.
    void setMapDepth(int depth);
    int mapDepth() const;
    // The treemap, sunburst and flame coloured by file type, with a legend
    // under them; otherwise in the theme's shades.
    void setColourByType(bool on);
    bool colourByType() const;
    KindLegend* kindLegend() const { return legend_; }
    // The items of `folder` that its map bucket stands for, largest first.
    static std::vector<const ScanNode*> bucketItems(const ScanNode* folder);
    QWidget* bucketList() const { return bucketList_; }

signals:
    // The depth or the colours changed, by the user or by a setter.
    void mapSettingsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Part : unsigned { chrome = 1, searchResults = 2, pastScans = 4, visual = 8, all = 15 };

    void onChanged(unsigned parts);
    void refresh();
    void refreshChrome();
    void refreshSearchResults();
    void refreshPastScans();
    void refreshVisualisation();
    QWidget* buildBreadcrumb();
    QWidget* buildEmptyState();
    QToolButton* buildModeMenu();
    QWidget* buildSearchResults();
    QWidget* buildDepthControls();
    void refreshMapControls();
    void showBucketList(const ScanNode* folder, QPoint globalPos);

    AppSession& session_;
    unsigned pending_ = 0;

    QLabel* instruction_;
    QWidget* breadcrumb_;
    QHBoxLayout* trailLayout_;
    QPushButton* back_;
    QPushButton* forward_;
    QToolButton* modeMenu_;
    QWidget* depthControls_;
    QWidget* depthLabel_;
    QComboBox* depth_;
    QToolButton* cushions_;
    QToolButton* colourByType_;
    KindLegend* legend_;
    QWidget* searchPanel_;
    QTreeWidget* searchList_;
    QPushButton* showAll_;
    bool showAllHits_ = false;
    // Cleared by Qt when the popup goes, even while this widget is being destroyed.
    QPointer<QWidget> bucketList_;
    QWidget* pastRow_;
    ButtonRow* pastButtons_;
    QStackedWidget* stack_;
    ScanProgressPanel* progress_;
    QWidget* empty_;
    QPushButton* emptyScan_;
    FolderBrowserView* folders_;
    TreemapView* treemap_;
    SunburstView* sunburst_;
    FlameView* flame_;
    BubbleView* bubbles_;
    MindMapView* mindMap_;
    TopSizesView* topSizes_;
    AgeMapView* ageMap_;
    TypesView* types_;
};

} // namespace tb
