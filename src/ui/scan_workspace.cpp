#include "ui/scan_workspace.h"

#include <QLabel>
#include <QVBoxLayout>

#include "session/app_session.h"

namespace tb {

ScanWorkspace::ScanWorkspace(AppSession&, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ScanWorkspace")));
}

} // namespace tb
