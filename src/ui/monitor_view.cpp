#include "ui/monitor_view.h"

#include <QLabel>
#include <QVBoxLayout>

#include "session/app_session.h"

namespace tb {

MonitorView::MonitorView(AppSession&, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("MonitorView")));
}

} // namespace tb
