// The Duplicates tab: starts the full-content match and lists its groups,
// offering every path but the last (the retained copy) for the review queue.
#pragma once

#include <QWidget>

#include "ui/tasks/queue_buttons.h"
#include "ui/tasks/task_widgets.h"

class QPushButton;
class QStackedWidget;

namespace tb {

class AppSession;
struct DuplicateGroup;

class DuplicatesView : public QWidget {
    Q_OBJECT
public:
    explicit DuplicatesView(AppSession& session, QWidget* parent = nullptr);

    static constexpr const char* reason = "Duplicate; keep another copy before moving this one.";
    // size x (paths - 1), counting at least one path.
    static std::int64_t reclaimable(const DuplicateGroup& group);

private:
    void rebuild();
    void refreshMatching();
    QWidget* groupBlock(const DuplicateGroup& group);

    AppSession& session_;
    QPushButton* runAgain_;
    QPushButton* runFirst_;
    QStackedWidget* pages_;
    RowList* list_;
    QWidget* empty_;
    QueueButtons queueButtons_;
};

} // namespace tb
