#include "ui/staging_view.h"

#include <QLabel>
#include <QVBoxLayout>

#include "session/app_session.h"

namespace tb {

StagingView::StagingView(AppSession&, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("StagingView")));
}

} // namespace tb
