// The settings: what Tarnbeck will and will not do, and where to get the
// latest release. Shown in its own window and as a tab.
#pragma once

#include <QWidget>

namespace tb {

class AppSession;

class SettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* releaseAddress = "https://tarnbeck.app/releases/latest";

    explicit SettingsView(AppSession& session, QWidget* parent = nullptr);

private:
    static QWidget* hardLinksSection(AppSession& session);
};

} // namespace tb
