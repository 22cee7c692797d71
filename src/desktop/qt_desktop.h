// The desktop hand-offs on a Linux desktop: a Qt folder chooser, the file
// manager over D-Bus, the default application through xdg-open, and the
// GNOME previewer where one answers. Interface thread only.
#pragma once

#include <QString>
#include <QUrl>

#include <optional>
#include <string>

#include "platform/desktop.h"

class QWidget;

namespace tb {

class QtDesktop : public platform::Desktop {
public:
    explicit QtDesktop(QWidget* dialogParent = nullptr) : parent_(dialogParent) {}
    void setDialogParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::string> chooseFolder(const std::string& start,
                                            const std::string& confirmLabel) override;
    bool reveal(const std::string& path) override;
    bool open(const std::string& path) override;
    bool preview(const std::string& path) override;
    bool openAddress(const std::string& address) override;
    bool openTerminal(const std::string& folder) override;

private:
    QWidget* parent_;
};

// The raw-byte path of a folder a dialog returned; nothing when it cannot be
// told for certain which folder on disk was meant.
std::optional<std::string> rawPathOf(const QUrl& url);

// A file URL that keeps every byte of the path (QUrl::fromLocalFile loses
// bytes that are not UTF-8).
QString fileUrlOf(const std::string& path);

} // namespace tb
