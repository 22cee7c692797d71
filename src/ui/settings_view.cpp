#include "ui/settings_view.h"

#include <QLabel>
#include <QVBoxLayout>

#include "session/app_session.h"

namespace tb {

SettingsView::SettingsView(AppSession&, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("SettingsView")));
}

} // namespace tb
