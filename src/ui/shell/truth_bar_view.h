// The volume bar across the bottom of the window: scanned, system (or
// outside the scan), purgeable and free, fed by the scan's pulse.
#pragma once

#include <QWidget>

class QLabel;
class QHBoxLayout;

namespace tb {

class AppSession;

// The four-slice bar itself; custom painted so segment widths are exact.
class TruthBar : public QWidget {
    Q_OBJECT
public:
    explicit TruthBar(AppSession& session, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {240, 8}; }
    // The widths the segments are painted with, for a bar of `width` points.
    std::vector<double> segmentWidths(double width) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    AppSession& session_;
};

class TruthBarView : public QWidget {
    Q_OBJECT
public:
    explicit TruthBarView(AppSession& session, QWidget* parent = nullptr);

private:
    void refresh();

    AppSession& session_;
    QLabel* volumeName_;
    QLabel* scope_;
    TruthBar* bar_;
    QLabel* legend_;
    QWidget* warning_;
};

} // namespace tb
