#include "desktop/qt_desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "base/path.h"

namespace tb {
namespace {

bool serviceAnswers(const QString& name) {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    return bus.interface()->isServiceRegistered(name).value() ||
           bus.interface()->activatableServiceNames().value().contains(name);
}

void openUrl(const QString& url) { QDesktopServices::openUrl(QUrl::fromEncoded(url.toLatin1())); }

} // namespace

QString fileUrlOf(const std::string& path) {
    return QString::fromLatin1(Path::fileUrl(path).c_str());
}

std::optional<std::string> QtDesktop::chooseFolder(const std::string& start,
                                                   const std::string& confirmLabel) {
    QFileDialog dialog(parent_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setDirectory(QString::fromLocal8Bit(start.c_str()));
    dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(confirmLabel));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toLocal8Bit().toStdString();
}

void QtDesktop::reveal(const std::string& path) {
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (serviceAnswers(service)) {
        auto call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                   service, QStringLiteral("ShowItems"));
        call << QStringList{fileUrlOf(path)} << QString();
        if (QDBusConnection::sessionBus().send(call)) return;
    }
    openUrl(fileUrlOf(Path::parent(path)));
}

void QtDesktop::open(const std::string& path) { openUrl(fileUrlOf(path)); }

void QtDesktop::preview(const std::string& path) {
    const QString service = QStringLiteral("org.gnome.NautilusPreviewer");
    // Most desktops have no previewer; opening the item is the nearest
    // thing, and better than a button that does nothing.
    if (!serviceAnswers(service)) {
        open(path);
        return;
    }
    auto call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/gnome/NautilusPreviewer"),
                                               QStringLiteral("org.gnome.NautilusPreviewer2"),
                                               QStringLiteral("ShowFile"));
    call << fileUrlOf(path) << QString() << false;
    QDBusConnection::sessionBus().send(call);
}

void QtDesktop::openAddress(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

} // namespace tb
