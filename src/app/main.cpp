// Tarnbeck: the command line first, so that the headless commands never
// create a Qt application and never connect to a display; then one session
// and one main window.
#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/headless_commands.h"
#include "base/terminal_text.h"
#include "desktop/qt_desktop.h"
#include "interchange/scan_files.h"
#include "session/app_session.h"
#include "store/scan_store.h"
#include "ui/shell/root_view.h"
#include "ui/shell/window_state.h"

namespace {

// Names on standard error can hold anything: no byte of theirs may reach the
// terminal as a control.
std::string shown(std::string_view text) {
    return tb::TerminalText::escaped(text);
}

// What the window opens at start: a folder to scan or a stored scan.
struct Opening {
    std::optional<std::string> folder;
    std::optional<tb::ScanRecord> scan;
};

bool endsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::optional<Opening> resolveOpening(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (::realpath(path.c_str(), resolved) == nullptr || ::stat(resolved, &st) != 0) {
        std::fprintf(stderr, "tarnbeck: cannot open '%s': %s\n", shown(path).c_str(),
                     std::strerror(errno));
        return std::nullopt;
    }
    if (S_ISDIR(st.st_mode)) return Opening{std::string(resolved), std::nullopt};
    const std::string file(resolved);
    if (endsWith(file, ".sqlite")) {
        auto record = tb::ScanStore::record(file);
        if (record && tb::ScanStore::load(*record)) return Opening{std::nullopt, *record};
    } else if (endsWith(file, ".json") || endsWith(file, ".json.gz") || endsWith(file, ".gz")) {
        auto summary = tb::ScanFiles::importExport(file, tb::ScanStore::directory());
        if (summary) return Opening{std::nullopt, summary->record};
        std::fprintf(stderr, "tarnbeck: %s\n", shown(summary.error().message).c_str());
        return std::nullopt;
    }
    std::fprintf(stderr, "tarnbeck: cannot open '%s': not a folder, a scan file or an export\n",
                 shown(path).c_str());
    return std::nullopt;
}

int runWindow(int argc, char** argv, const tb::CommandLine& line) {
    Opening opening;
    if (!line.path.empty()) {
        auto resolved = resolveOpening(line.path);
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
