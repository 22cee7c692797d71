#include "ui/explore/scan_progress_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/path.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {

ScanProgressPanel::ScanProgressPanel(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    auto* outer = new QVBoxLayout(this);
    auto* box = new QWidget;
    box->setMaximumWidth(360);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(8);

    auto* icon = new QLabel;
    icon->setPixmap(DiskTheme::icon("magnifyingglass.circle").pixmap(42, 42));
    icon->setMinimumHeight(48);
    icon->setAlignment(Qt::AlignCenter);
    title_ = new QLabel;
    title_->setFont(DiskTheme::display(20));
    title_->setAlignment(Qt::AlignHCenter);
    auto* text =
        new QLabel(QStringLiteral("Tarnbeck is building a local inventory. You can keep navigating "
                                  "after the scan finishes."));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignHCenter);
    auto* bar = new QProgressBar;
    bar->setRange(0, 0);
    bar->setFixedWidth(280);
    bar->setTextVisible(false);
    scanned_ = new QLabel;
    scanned_->setFont(DiskTheme::caption());
    scanned_->setAlignment(Qt::AlignHCenter);
    current_ = new QLabel;
    current_->setFont(DiskTheme::sized(9));
    current_->setAlignment(Qt::AlignHCenter);
    // A path has few places to break: one line, shortened in the middle.
    current_->setMinimumWidth(1);
    DiskTheme::makeSecondary(current_);
    auto* cancel = new QPushButton(DiskTheme::icon("xmark"), QStringLiteral("Cancel Scan"));
    connect(cancel, &QPushButton::clicked, this, [this] { session_.cancelScan(); });

    layout->addWidget(icon);
    layout->addWidget(title_);
    layout->addWidget(text);
    layout->addWidget(bar, 0, Qt::AlignHCenter);
    layout->addWidget(scanned_);
    layout->addWidget(current_);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    // Centred through stretches rather than an alignment flag, so that the
    // wrapped text gets the height its width needs.
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(box, 1);
    row->addStretch();
    outer->addStretch();
    outer->addLayout(row);
    outer->addStretch();

    connect(&session_.pulse(), &ScanPulse::changed, this, &ScanProgressPanel::refresh);
    connect(&session_, &AppSession::changed, this, [this](SessionField f) {
        if (f == SessionField::scanRoot) refresh();
    });
    refresh();
}

void ScanProgressPanel::refresh() {
    title_->setText(QStringLiteral("Scanning ") +
                    DiskTheme::displayText(Path::lastComponent(session_.scanRoot())));
    const auto& progress = session_.pulse().progress();
    scanned_->setText(progress
                          ? DiskTheme::bytes(progress->scannedBytes) + QStringLiteral(" scanned")
                          : QString());
    const QString path = progress ? DiskTheme::displayText(progress->currentPath) : QString();
    current_->setText(current_->fontMetrics().elidedText(path, Qt::ElideMiddle, 340));
    current_->setToolTip(path);
}

} // namespace tb
