// Tarnbeck: one session, one main window.
#include <QApplication>

#include <memory>

#include "desktop/qt_desktop.h"
#include "session/app_session.h"
#include "ui/shell/root_view.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnbeck"));
    QApplication::setOrganizationName(QStringLiteral("Tarnbeck"));
    QApplication::setDesktopFileName(QStringLiteral("tarnbeck"));

    auto desktop = std::make_shared<tb::QtDesktop>();
    tb::AppSession session(desktop);
    tb::RootView window(session);
    desktop->setDialogParent(&window);
    window.show();
    return app.exec();
}
