// Placeholder until the view is written.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class MonitorView : public QWidget {
    Q_OBJECT
public:
    explicit MonitorView(AppSession& session, QWidget* parent = nullptr);
};

} // namespace tb
