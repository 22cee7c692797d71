#include "ui/shell/window_state.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QSplitter>

#include <algorithm>
#include <string>

#include "platform/file_system.h"
#include "layout/map_depth.h"
#include "session/app_session.h"
#include "ui/explore/scan_workspace.h"

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

QRect availableTo(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

QRect fittedGeometry(const QRect& wanted, const QRect& available, const QMargins& frame) {
    if (available.isEmpty()) return wanted;
    const QRect room = available.marginsRemoved(frame);
    const QSize size = wanted.size().boundedTo(room.size()).expandedTo(QSize(1, 1));
    const int x =
        std::clamp(wanted.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width()));
    const int y =
        std::clamp(wanted.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
    return QRect(QPoint(x, y), size);
}

void fitToScreen(QWidget& window, QSize preferred, QSize minimum) {
    const QRect available = availableTo(window);
    if (available.isEmpty()) {
        window.setMinimumSize(minimum);
        window.resize(preferred);
        return;
    }
    const QSize room = available.marginsRemoved(estimatedFrame).size();
    window.setMinimumSize(minimum.boundedTo(room));
    QRect wanted(QPoint(), preferred.boundedTo(room));
    wanted.moveCenter(available.marginsRemoved(estimatedFrame).center());
    window.setGeometry(fittedGeometry(wanted, available));
}

void keepOnScreen(QWidget& window) {
    const QRect available = availableTo(window);
    if (available.isEmpty()) return;
    const QRect fitted = fittedGeometry(window.geometry(), available);
    if (fitted != window.geometry()) window.setGeometry(fitted);
}

void restoreWindowState(QMainWindow& window, AppSession& session) {
    QSettings s = settings();
    // A geometry saved on a larger screen, or at a smaller scale, is fitted
    // to this one.
    if (const QByteArray g = s.value(QStringLiteral("window/geometry")).toByteArray();
        !g.isEmpty()) {
        window.restoreGeometry(g);
        keepOnScreen(window);
    }
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

void restoreScanRules(AppSession& session) {
    QSettings s = settings();
    // No key yet: the session's defaults (the snapshot trees) stand.
    if (s.contains(QStringLiteral("scan/excludePatterns"))) {
        std::vector<std::string> patterns;
        const QVariantList stored = s.value(QStringLiteral("scan/excludePatterns")).toList();
        for (const QVariant& v : stored) {
            const QByteArray bytes = v.toByteArray();
            if (!bytes.isEmpty())
                patterns.emplace_back(bytes.constData(), std::size_t(bytes.size()));
        }
        session.setExcludePatterns(std::move(patterns));
    }
    session.setCrossMounts(s.value(QStringLiteral("scan/crossMounts"), false).toBool());
    // An unknown or missing value leaves the session's default.
    const QByteArray links = s.value(QStringLiteral("scan/hardLinks")).toByteArray();
    if (auto mode = hardLinkMode(std::string_view(links.constData(), std::size_t(links.size()))))
        session.setHardLinks(*mode);
}

void saveScanRules(const AppSession& session) {
    QSettings s = settings();
    // Bytes, as a pattern may name a file whose name is not UTF-8.
    QVariantList patterns;
    for (const std::string& p : session.excludePatterns())
        patterns.push_back(QByteArray(p.data(), qsizetype(p.size())));
    s.setValue(QStringLiteral("scan/excludePatterns"), patterns);
    s.setValue(QStringLiteral("scan/crossMounts"), session.crossMounts());
    const std::string_view links = rawValue(session.hardLinks());
    s.setValue(QStringLiteral("scan/hardLinks"), QByteArray(links.data(), qsizetype(links.size())));
}

void restoreMapSettings(ScanWorkspace& workspace) {
    QSettings s = settings();
    const QString depth = s.value(QStringLiteral("maps/depth")).toString();
    bool number = false;
    const int levels = depth.toInt(&number);
    if (depth == QStringLiteral("all")) {
        workspace.setMapDepth(MapDepth::all);
    } else if (number && levels >= 1 && levels <= MapDepth::deepestNumbered) {
        workspace.setMapDepth(levels);
    }
    const QString colours = s.value(QStringLiteral("maps/colours")).toString();
    if (colours == QStringLiteral("types") || colours == QStringLiteral("shades"))
        workspace.setColourByType(colours == QStringLiteral("types"));
}

void saveMapSettings(const ScanWorkspace& workspace) {
    QSettings s = settings();
    const int depth = workspace.mapDepth();
    s.setValue(QStringLiteral("maps/depth"),
               depth == MapDepth::all ? QStringLiteral("all") : QString::number(depth));
    s.setValue(QStringLiteral("maps/colours"),
               workspace.colourByType() ? QStringLiteral("types") : QStringLiteral("shades"));
}

void rememberWindowState(QMainWindow& window, AppSession& session) {
    restoreWindowState(window, session);
    restoreScanRules(session);
    if (auto* workspace = window.findChild<ScanWorkspace*>()) {
        restoreMapSettings(*workspace);
        QObject::connect(workspace, &ScanWorkspace::mapSettingsChanged, &window,
                         [workspace] { saveMapSettings(*workspace); });
    }
    QObject::connect(&session, &AppSession::changed, &window, [&session](SessionField f) {
        if (f == SessionField::scanRules || f == SessionField::hardLinks) saveScanRules(session);
    });
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &window,
                     [&window, &session] { saveWindowState(window, session); });
}

} // namespace tb
