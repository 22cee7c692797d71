#include "ui/tasks/monitor_view.h"

#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/tasks/task_widgets.h"

namespace tb {

MonitorView::MonitorView(AppSession& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      timer_(new QTimer(this)),
      volume_(new FormSection(QStringLiteral("Volume"))),
      snapshots_(new FormSection(QStringLiteral("Local Snapshots"))) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* refresh = TaskWidgets::button(QStringLiteral("Refresh"), "arrow.clockwise");
    TaskWidgets::headerBar(layout)->addWidget(refresh);

    auto* form = new QWidget;
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(24, 8, 24, 24);
    column->setSpacing(20);
    column->addWidget(volume_);
    column->addWidget(snapshots_);
    column->addStretch(1);
    auto* scroll = new QScrollArea;
    scroll->setAccessibleName(QStringLiteral("Monitor")); // a Tab stop: the arrows scroll it
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(form);
    layout->addWidget(scroll, 1);

    // QTimer runs on the monotonic clock.
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(defaultInterval);
    connect(timer_, &QTimer::timeout, this, [this] { session_.refreshVolume(); });
    connect(refresh, &QPushButton::clicked, this, [this] { refreshAll(); });
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::volume) showVolume();
        if (field == SessionField::snapshots) showSnapshots();
    });
    showVolume();
    showSnapshots();
}

void MonitorView::setRefreshInterval(std::chrono::milliseconds interval) {
    timer_->setInterval(interval);
}

bool MonitorView::isRefreshing() const {
    return timer_->isActive();
}

void MonitorView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (timer_->isActive()) return;
    refreshAll();
    timer_->start();
}

void MonitorView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_->stop();
}

void MonitorView::refreshAll() {
    session_.refreshVolume();
    session_.refreshSnapshots();
}

void MonitorView::showVolume() {
    volume_->clearRows();
    const auto& v = session_.volume();
    if (!v) {
        volume_->addLine(QStringLiteral("Volume accounting is unavailable."));
        return;
    }
    volume_->addRow(QStringLiteral("Name"), DiskTheme::displayText(v->name));
    volume_->addRow(QStringLiteral("Capacity"), DiskTheme::bytes(v->capacity));
    volume_->addRow(QStringLiteral("Available"), DiskTheme::bytes(v->available));
    if (!v->mountPoint.empty() && v->mountPoint != v->name) {
        volume_->addRow(QStringLiteral("Mounted at"), DiskTheme::displayText(v->mountPoint));
    }
    if (v->reserved > 0) {
        volume_->addRow(QStringLiteral("Reserved for root"), DiskTheme::bytes(v->reserved));
    }
    if (!v->trashFolders.empty()) {
        volume_->addRow(QStringLiteral("In Trash"),
                        DiskTheme::bytes(v->trashBytes) +
                            (v->trashPending ? QStringLiteral(" (measuring\u2026)") : QString()));
    }
    // Separate figures exist only where the system keeps them apart.
    if (v->availableImportant != v->available) {
        volume_->addRow(QStringLiteral("Important"), DiskTheme::bytes(v->availableImportant));
    }
    if (v->availableOpportunistic != v->available) {
        volume_->addRow(QStringLiteral("Opportunistic"),
                        DiskTheme::bytes(v->availableOpportunistic));
    }
}

void MonitorView::showSnapshots() {
    snapshots_->clearRows();
    snapshots_->addRow(QStringLiteral("Access"), QStringLiteral("Read-only"));
    const auto& list = session_.snapshots();
    if (list.empty()) {
        snapshots_->addLine(
            QStringLiteral("None listed. Btrfs snapshots (Snapper, Timeshift), ZFS snapshots and "
                           "LVM snapshots of this volume appear here."));
        return;
    }
    for (const SnapshotInfo& s : list)
        snapshots_->addLine(DiskTheme::displayText(s.id));
}

} // namespace tb
