// Placeholder until the view is written.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(AppSession& session, QWidget* parent = nullptr);
};

} // namespace tb
