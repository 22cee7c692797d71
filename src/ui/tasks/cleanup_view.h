// The Clean Up tab: the scan's rebuildable storage, filtered by risk, each
// with an action that adds it to the review queue; then, read-only, what the
// machine can give back with one command.
#pragma once

#include <QWidget>

#include <optional>
#include <vector>

#include "analysis/cleanup_candidate.h"
#include "ui/tasks/queue_buttons.h"
#include "ui/tasks/task_widgets.h"

class QButtonGroup;
class QStackedWidget;

namespace tb {

class AppSession;

class CleanupView : public QWidget {
    Q_OBJECT
public:
    explicit CleanupView(AppSession& session, QWidget* parent = nullptr);

    std::optional<CleanupRisk> filter() const { return filter_; }
    void setFilter(std::optional<CleanupRisk> risk);

private:
    void rebuild();
    void applyFilter();

    AppSession& session_;
    std::optional<CleanupRisk> filter_;
    QButtonGroup* picker_;
    QStackedWidget* pages_;
    RowList* list_;
    QWidget* empty_;
    // One per row of the list, in the same order.
    std::vector<std::pair<QWidget*, CleanupRisk>> rows_;
    int systemRows_ = 0;           // the machine's, after the candidates, never filtered
    QWidget* listEmpty_ = nullptr; // the empty state inside the list, above them
    QueueButtons queueButtons_;
};

} // namespace tb
