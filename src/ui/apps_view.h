// Placeholder until the view is written.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class AppsView : public QWidget {
    Q_OBJECT
public:
    explicit AppsView(AppSession& session, QWidget* parent = nullptr);
};

} // namespace tb
