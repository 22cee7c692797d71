// The volume bar across the bottom of the window: scanned, system (or
// outside the scan), purgeable and free, fed by the scan's pulse.
#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

#include "session/unreadable_folders.h"

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
    static constexpr std::size_t listedUnreadable = 20;

    explicit TruthBarView(AppSession& session, QWidget* parent = nullptr);

    // The warning's line for `count` folders the scan could not read.
    static QString unreadableSummary(std::int64_t count);
    // One line per listed folder with its reason, and how many more there are.
    static QString unreadableDetails(std::int64_t count,
                                     const std::vector<UnreadableFolder>& listed);
    QWidget* warning() const { return warning_; }
    QLabel* warningText() const { return warningText_; }
    // Lists the unreadable folders in a dialog of its own.
    void showUnreadable();

private:
    void refresh();

    AppSession& session_;
    QLabel* volumeName_;
    QLabel* scope_;
    TruthBar* bar_;
    QLabel* legend_;
    QWidget* warning_;
    QLabel* warningText_;
};

} // namespace tb
