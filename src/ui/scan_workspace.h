// Placeholder until the view is written.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class ScanWorkspace : public QWidget {
    Q_OBJECT
public:
    explicit ScanWorkspace(AppSession& session, QWidget* parent = nullptr);
};

} // namespace tb
