// Tarnbeck: the command line first, so that the headless commands never
// create a Qt application and never connect to a display; then one session
// and one main window.
#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/headless_commands.h"
#include "app/opening.h"
#include "base/terminal_text.h"
#include "desktop/qt_desktop.h"
#include "session/app_session.h"
#include "ui/shell/root_view.h"
#include "ui/shell/window_state.h"

namespace {

// Names on standard error can hold anything: no byte of theirs may reach the
// terminal as a control.
std::string shown(std::string_view text) {
    return tb::TerminalText::escaped(text);
}

int runWindow(int argc, char** argv, const tb::CommandLine& line) {
    tb::Opening opening;
    if (!line.path.empty()) {
        auto resolved = tb::resolveOpening(line.path);
        if (!resolved) return tb::exitFailure;
        opening = *resolved;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnbeck"));
    QApplication::setOrganizationName(QStringLiteral("Tarnbeck"));
    QApplication::setApplicationVersion(QString::fromUtf8(tb::versionText().data()));
    QApplication::setDesktopFileName(QStringLiteral("io.github.tarnbeck.Tarnbeck"));
    QIcon icon;
    for (const char* size : {"32", "64", "256"})
        icon.addFile(QStringLiteral(":/tarnbeck/icon-%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("io.github.tarnbeck.Tarnbeck"), icon));

    auto desktop = std::make_shared<tb::QtDesktop>();
    tb::AppSession session(desktop);
    tb::RootView window(session);
    desktop->setDialogParent(&window);
    tb::rememberWindowState(window, session);
    window.show();
    QTimer::singleShot(0, &session, [&session, opening] {
        if (opening.folder) {
            session.setScanRoot(*opening.folder);
            session.setTab(tb::AppTab::explore);
            session.startScan();
        } else if (opening.scan) {
            session.setTab(tb::AppTab::explore);
            session.loadHistory(*opening.scan);
        }
    });
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const tb::ParsedCommandLine parsed = tb::parseCommandLine(args);
    if (parsed.error) {
        std::fprintf(stderr, "tarnbeck: %s\nTry 'tarnbeck --help' for more information.\n",
                     shown(parsed.error->message).c_str());
        return tb::exitUsage;
    }
    if (parsed.line->command == tb::Command::window) return runWindow(argc, argv, *parsed.line);
    return tb::runHeadless(*parsed.line);
}
