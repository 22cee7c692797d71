// Takes the place of the Explore visualisation while a scan runs: what is
// being read, how much so far, and a way to stop.
#pragma once

#include <QWidget>

class QLabel;

namespace tb {

class AppSession;

class ScanProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit ScanProgressPanel(AppSession& session, QWidget* parent = nullptr);

private:
    void refresh();

    AppSession& session_;
    QLabel* title_;
    QLabel* scanned_;
    QLabel* current_;
};

} // namespace tb
