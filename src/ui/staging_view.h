// Placeholder until the view is written.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class StagingView : public QWidget {
    Q_OBJECT
public:
    explicit StagingView(AppSession& session, QWidget* parent = nullptr);
};

} // namespace tb
