// Placeholder until the view is written.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class ChangesView : public QWidget {
    Q_OBJECT
public:
    explicit ChangesView(AppSession& session, QWidget* parent = nullptr);
};

} // namespace tb
