// The Explore tab's detail pane: an instruction line, the breadcrumb of the
// focus trail, quick search results from this and past scans, and the node in
// focus drawn in the session's view mode (or the progress panel while a scan
// runs, or the empty state before the first scan). Holds no state of its own:
// everything it shows is read from the session, and every action is a
// session command. Interface thread only.
//
// The session announces fields one at a time while it replaces several of
// them (a new forest, then its selection and focus); the pane redraws once,
// after the last of them, so it never reads a half-updated state.
#pragma once

#include <QWidget>

#include "session/app_enums.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QHBoxLayout;

namespace tb {

class AppSession;
class AgeMapView;
class BubbleView;
class FlameView;
class FolderBrowserView;
class MindMapView;
class ScanProgressPanel;
class SunburstView;
class TopSizesView;
class TreemapView;
class ButtonRow;

class ScanWorkspace : public QWidget {
    Q_OBJECT
public:
    static constexpr std::size_t searchButtonLimit = 12;

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

    AppSession& session_;
    unsigned pending_ = 0;

    QLabel* instruction_;
    QWidget* breadcrumb_;
    QHBoxLayout* trailLayout_;
    QPushButton* back_;
    QToolButton* modeMenu_;
    ButtonRow* searchRow_;
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
};

} // namespace tb
