#include "ui/cleanup_view.h"

#include <QLabel>
#include <QVBoxLayout>

#include "session/app_session.h"

namespace tb {

CleanupView::CleanupView(AppSession&, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("CleanupView")));
}

} // namespace tb
