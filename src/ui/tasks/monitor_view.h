// The Monitor tab: the start-up volume's figures and the local snapshots.
// While the view is shown it re-reads the volume figures every 8 seconds;
// the snapshot list is read on showing and on Refresh only.
#pragma once

#include <QWidget>

#include <chrono>

class QTimer;

namespace tb {

class AppSession;
class FormSection;

class MonitorView : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultInterval{8000};

    explicit MonitorView(AppSession& session, QWidget* parent = nullptr);

    // Shorter in tests.
    void setRefreshInterval(std::chrono::milliseconds interval);
    bool isRefreshing() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refreshAll();
    void showVolume();
    void showSnapshots();

    AppSession& session_;
    QTimer* timer_;
    FormSection* volume_;
    FormSection* snapshots_;
};

} // namespace tb
