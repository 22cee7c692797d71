// Placeholder until the view is written.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class DuplicatesView : public QWidget {
    Q_OBJECT
public:
    explicit DuplicatesView(AppSession& session, QWidget* parent = nullptr);
};

} // namespace tb
