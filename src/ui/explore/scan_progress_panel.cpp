#include "ui/explore/scan_progress_panel.h"

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
    layout->setAlignment(Qt::AlignHCenter);

    auto* icon = new QLabel;
    icon->setPixmap(DiskTheme::icon("magnifyingglass.circle").pixmap(42, 42));
    icon->setAlignment(Qt::AlignHCenter);
    title_ = new QLabel;
    title_->setFont(DiskTheme::display(20));
    title_->setAlignment(Qt::AlignHCenter);
    auto* text = new QLabel(QStringLiteral(
        "Tarnbeck is building a local inventory. You can keep navigating after the scan finishes."));
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
    current_->setWordWrap(true);
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
    outer->addStretch();
    outer->addWidget(box, 0, Qt::AlignHCenter);
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
    scanned_->setText(progress ? DiskTheme::bytes(progress->scannedBytes) + QStringLiteral(" scanned")
                               : QString());
    current_->setText(progress ? DiskTheme::displayText(progress->currentPath) : QString());
}

} // namespace tb
