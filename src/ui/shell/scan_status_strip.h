// The strip across the top of the window while a scan runs.
#pragma once

#include <QWidget>

class QLabel;

namespace tb {

class AppSession;

class ScanStatusStrip : public QWidget {
    Q_OBJECT
public:
    explicit ScanStatusStrip(AppSession& session, QWidget* parent = nullptr);

private:
    void refresh();

    AppSession& session_;
    QLabel* title_;
    QLabel* scanned_;
};

} // namespace tb
