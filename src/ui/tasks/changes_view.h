// The Changes tab: what grew, shrank, appeared or disappeared since the last
// comparable scan, largest change first.
#pragma once

#include <QWidget>

#include "ui/tasks/task_widgets.h"

class QStackedWidget;

namespace tb {

class AppSession;

class ChangesView : public QWidget {
    Q_OBJECT
public:
    explicit ChangesView(AppSession& session, QWidget* parent = nullptr);

private:
    void rebuild();

    AppSession& session_;
    QStackedWidget* pages_;
    RowList* list_;
    QWidget* empty_;
    QWidget* notCompared_ = nullptr; // when the session says why there is no list
};

} // namespace tb
