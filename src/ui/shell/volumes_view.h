// Every mounted file system a user would scan, one row each: its label or
// mount point, its type, a bar of the space used, and what is free; a click
// scans it. Read off the interface thread whenever the view is shown.
#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace tb {

class AppSession;
struct VolumeRow;

class VolumesView : public QWidget {
    Q_OBJECT
public:
    explicit VolumesView(AppSession& session, QWidget* parent = nullptr);

    // "45.2 GB free of 250 GB", or why there are no figures.
    static QString figuresText(const VolumeRow& row);
    // The label, else the mount point ("/" is "Computer").
    static QString titleText(const VolumeRow& row);

signals:
    // A volume was chosen and its scan started.
    void scanStarted();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuild();
    QWidget* rowFor(const VolumeRow& row);

    AppSession& session_;
    QVBoxLayout* rows_;
    QLabel* empty_;
};

} // namespace tb
