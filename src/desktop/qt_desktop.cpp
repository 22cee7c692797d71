#include "desktop/qt_desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "base/path.h"
#include "platform/file_system.h"
#include "desktop/terminal_choice.h"

extern char** environ;

namespace tb {
namespace {

bool serviceAnswers(const QString& name) {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    return bus.interface()->isServiceRegistered(name).value() ||
           bus.interface()->activatableServiceNames().value().contains(name);
}

bool openUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl::fromEncoded(url.toLatin1()));
}

std::string gnomeTerminalSetting() {
    if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME"))) return {};
    QProcess gsettings;
    gsettings.start(
        QStringLiteral("gsettings"),
        {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.default-applications.terminal"),
         QStringLiteral("exec")});
    if (!gsettings.waitForFinished(1000)) return {};
    return gsettings.readAllStandardOutput().toStdString();
}

std::string kdeGlobals() {
    QFile file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/kdeglobals"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

// Started in the folder by its raw bytes (a QString working directory would
// lose a name that is not UTF-8), and reaped on a thread of its own so that
// no zombie is left behind.
bool spawnIn(const std::string& folder, const std::vector<std::string>& command) {
    const QString program = QStandardPaths::findExecutable(QString::fromStdString(command.front()));
    if (program.isEmpty()) return false;
    const std::string path = QFile::encodeName(program).toStdString();
    std::vector<char*> argv;
    for (const auto& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return false;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

} // namespace

QString fileUrlOf(const std::string& path) {
    return QString::fromLatin1(Path::fileUrl(path).c_str());
}

std::optional<std::string> rawPathOf(const QUrl& url) {
    if (!url.isLocalFile()) return std::nullopt;
    const std::string given =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
    if (given.empty() || given[0] != '/') return std::nullopt;
    // A URL from the desktop's portal keeps every byte. Qt's own dialog has
    // turned bytes that are not UTF-8 into U+FFFD; each such component is
    // matched against the names on disk that show the same, and only a
    // single match is taken.
    std::string path = "/";
    for (const std::string& part : [&] {
             std::vector<std::string> parts;
             std::size_t i = 1;
             while (i <= given.size()) {
                 auto j = given.find('/', i);
                 if (j == std::string::npos) j = given.size();
                 if (j > i) parts.push_back(given.substr(i, j - i));
                 i = j + 1;
             }
             return parts;
         }()) {
        const std::string direct = Path::appending(path, part);
        if (platform::FileSystem::values(direct)) {
            path = direct;
            continue;
        }
        const auto names = platform::FileSystem::listNames(path);
        if (!names) return std::nullopt;
        const QString shown = QString::fromUtf8(part.data(), qsizetype(part.size()));
        std::optional<std::string> match;
        for (const std::string& name : *names) {
            if (QString::fromUtf8(name.data(), qsizetype(name.size())) != shown) continue;
            if (match) return std::nullopt; // two names look alike: no guessing
            match = name;
        }
        if (!match) return std::nullopt;
        path = Path::appending(path, *match);
    }
    return path;
}

std::optional<std::string> QtDesktop::chooseFolder(const std::string& start,
                                                   const std::string& confirmLabel) {
    QFileDialog dialog(parent_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setDirectoryUrl(QUrl::fromEncoded(QByteArray::fromStdString(Path::fileUrl(start))));
    dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(confirmLabel));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty()) return std::nullopt;
    return rawPathOf(dialog.selectedUrls().front());
}

bool QtDesktop::reveal(const std::string& path) {
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (serviceAnswers(service)) {
        auto call =
            QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                           service, QStringLiteral("ShowItems"));
        call << QStringList{fileUrlOf(path)} << QString();
        if (QDBusConnection::sessionBus().send(call)) return true;
    }
    return openUrl(fileUrlOf(Path::parent(path)));
}

bool QtDesktop::open(const std::string& path) {
    return openUrl(fileUrlOf(path));
}

bool QtDesktop::preview(const std::string& path) {
    const QString service = QStringLiteral("org.gnome.NautilusPreviewer");
    // Most desktops have no previewer; opening the item is the nearest
    // thing, and better than a button that does nothing.
    if (!serviceAnswers(service)) return open(path);
    auto call = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/gnome/NautilusPreviewer"),
        QStringLiteral("org.gnome.NautilusPreviewer2"), QStringLiteral("ShowFile"));
    call << fileUrlOf(path) << QString() << false;
    return QDBusConnection::sessionBus().send(call) || open(path);
}

bool QtDesktop::openAddress(const std::string& address) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

} // namespace tb

namespace tb {

bool QtDesktop::openTerminal(const std::string& folder) {
    const TerminalChoice::Hints hints{qEnvironmentVariable("TERMINAL").toStdString(),
                                      gnomeTerminalSetting(), kdeGlobals()};
    for (const auto& command : TerminalChoice::candidates(hints)) {
        if (spawnIn(folder, command)) return true;
    }
    return false;
}

} // namespace tb
