#include "ui/shell/volumes_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/tasks/task_widgets.h"

namespace tb {
namespace {

// Used space across the whole width; orange once nearly full.
class UsageBar : public QWidget {
public:
    explicit UsageBar(std::optional<double> used) : used_(used) {
        setFixedHeight(8);
        setMinimumWidth(120);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        const QRectF whole(0, 0, width(), height());
        p.setBrush(DiskTheme::primary(0.10));
        p.drawRoundedRect(whole, 3, 3);
        if (!used_) return;
        const double share = std::clamp(*used_, 0.0, 1.0);
        p.setBrush(share >= 0.9 ? DiskTheme::orange() : DiskTheme::accent(0.75));
        p.drawRoundedRect(QRectF(0, 0, std::max(width() * share, 3.0), height()), 3, 3);
    }

private:
    std::optional<double> used_;
};

QLabel* passive(QLabel* label) {
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

VolumesView::VolumesView(AppSession& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      rows_(new QVBoxLayout),
      empty_(new QLabel(QStringLiteral("Reading the mounted volumes\u2026"))) {
    auto* outer = new QVBoxLayout(this);
    auto* heading = TaskWidgets::sectionHeading(
        QStringLiteral("All Volumes"),
        QStringLiteral("The mounted file systems. Choose one to scan it whole."));
    outer->addWidget(heading);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->addLayout(rows_);
    column->addWidget(empty_);
    column->addStretch(1);
    DiskTheme::makeSecondary(empty_);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::volumes || field == SessionField::isScanning) rebuild();
    });
    rebuild();
}

QString VolumesView::titleText(const VolumeRow& row) {
    if (row.volume.label && !row.volume.label->empty())
        return DiskTheme::displayText(*row.volume.label);
    if (row.volume.point == "/") return QStringLiteral("Computer");
    return DiskTheme::displayText(row.volume.point);
}

QString VolumesView::figuresText(const VolumeRow& row) {
    if (row.space) {
        return DiskTheme::bytes(row.space->available) + QStringLiteral(" free of ") +
               DiskTheme::bytes(row.space->capacity) + QStringLiteral(" \u00b7 ") +
               DiskTheme::bytes(row.space->used) + QStringLiteral(" used");
    }
    if (row.reading) return QStringLiteral("Waiting for the volume to answer\u2026");
    return DiskTheme::displayText(row.problem);
}

void VolumesView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    session_.refreshVolumes();
}

QWidget* VolumesView::rowFor(const VolumeRow& row) {
    const platform::MountedVolume& v = row.volume;
    auto* button = new QPushButton;
    button->setFlat(true);
    button->setObjectName(QStringLiteral("volume"));
    button->setProperty("mountPoint", DiskTheme::displayText(v.point));
    button->setCursor(Qt::PointingHandCursor);
    const QString title = titleText(row);
    button->setAccessibleName(QStringLiteral("Scan ") + title);
    button->setAccessibleDescription(figuresText(row));
    button->setToolTip(QStringLiteral("Scan ") + DiskTheme::toolTipText(v.point));
    button->setEnabled(!session_.isScanning());
    auto* layout = new QHBoxLayout(button);
    layout->setContentsMargins(10, 8, 10, 8);
    auto* icon = TaskWidgets::icon("internaldrive", 28);
    icon->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* top = new QHBoxLayout;
    top->addWidget(passive(TaskWidgets::label(title, DiskTheme::headline())), 1);
    top->addWidget(passive(TaskWidgets::label(figuresText(row), DiskTheme::captionFont(), true)));
    texts->addLayout(top);
    std::optional<double> used;
    // As full as the user can fill it: blocks kept for root are not theirs.
    if (row.space && row.space->used + row.space->available > 0)
        used = double(row.space->used) / double(row.space->used + row.space->available);
    texts->addWidget(new UsageBar(used));
    QString detail = DiskTheme::displayText(v.point) + QStringLiteral(" \u00b7 ") +
                     DiskTheme::displayText(v.type);
    if (!v.source.empty() && v.source != v.type)
        detail += QStringLiteral(" \u00b7 ") + DiskTheme::displayText(v.source);
    if (v.readOnly) detail += QStringLiteral(" \u00b7 read-only");
    texts->addWidget(passive(TaskWidgets::label(detail, DiskTheme::caption2(), true)));
    layout->addLayout(texts, 1);
    button->setMinimumHeight(layout->sizeHint().height());
    const std::string point = v.point;
    connect(button, &QPushButton::clicked, this, [this, point] {
        if (session_.isScanning()) return;
        session_.scanVolume(point);
        emit scanStarted();
    });
    return button;
}

void VolumesView::rebuild() {
    TaskWidgets::clearLayout(rows_);
    const auto& volumes = session_.volumes();
    empty_->setVisible(volumes.empty());
    for (const VolumeRow& row : volumes)
        rows_->addWidget(rowFor(row));
}

} // namespace tb
