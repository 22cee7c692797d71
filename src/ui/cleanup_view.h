// Placeholder until the view is written.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class CleanupView : public QWidget {
    Q_OBJECT
public:
    explicit CleanupView(AppSession& session, QWidget* parent = nullptr);
};

} // namespace tb
