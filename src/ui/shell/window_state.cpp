#include "ui/shell/window_state.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QSettings>
#include <QSplitter>

#include <string>

#include "platform/file_system.h"
#include "session/app_session.h"

namespace tb {
namespace {

QSettings settings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tarnbeck"),
                     QStringLiteral("Tarnbeck"));
}

// Splitters are told apart by their place in the window; one added later
// shifts the keys, and a state that no longer fits is simply not applied.
QString splitterKey(int index) {
    return QStringLiteral("window/splitter%1").arg(index);
}

} // namespace

void restoreWindowState(QMainWindow& window, AppSession& session) {
    QSettings s = settings();
    if (const QByteArray g = s.value(QStringLiteral("window/geometry")).toByteArray(); !g.isEmpty())
        window.restoreGeometry(g);
    const auto splitters = window.findChildren<QSplitter*>();
    for (int i = 0; i < splitters.size(); ++i) {
        const QByteArray state = s.value(splitterKey(i)).toByteArray();
        if (!state.isEmpty()) splitters[i]->restoreState(state);
    }
    if (s.contains(QStringLiteral("session/showInspector")))
        session.setShowInspector(s.value(QStringLiteral("session/showInspector")).toBool());
    const QByteArray mode = s.value(QStringLiteral("session/viewMode")).toByteArray();
    if (auto m = viewMode(std::string_view(mode.constData(), std::size_t(mode.size()))))
        session.setViewMode(*m);
    // Paths are bytes; they are stored as bytes, never through a QString.
    const QByteArray root = s.value(QStringLiteral("session/scanRoot")).toByteArray();
    const std::string rootPath(root.constData(), std::size_t(root.size()));
    if (!rootPath.empty() && platform::FileSystem::exists(rootPath).isDirectory)
        session.setScanRoot(rootPath);
}

void saveWindowState(const QMainWindow& window, const AppSession& session) {
    QSettings s = settings();
    s.setValue(QStringLiteral("window/geometry"), window.saveGeometry());
    const auto splitters = window.findChildren<QSplitter*>();
    for (int i = 0; i < splitters.size(); ++i)
        s.setValue(splitterKey(i), splitters[i]->saveState());
    s.setValue(QStringLiteral("session/showInspector"), session.showInspector());
    const std::string_view mode = info(session.viewMode()).id;
    s.setValue(QStringLiteral("session/viewMode"), QByteArray(mode.data(), qsizetype(mode.size())));
    const std::string& root = session.scanRoot();
    s.setValue(QStringLiteral("session/scanRoot"), QByteArray(root.data(), qsizetype(root.size())));
}

void rememberWindowState(QMainWindow& window, AppSession& session) {
    restoreWindowState(window, session);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &window,
                     [&window, &session] { saveWindowState(window, session); });
}

} // namespace tb
