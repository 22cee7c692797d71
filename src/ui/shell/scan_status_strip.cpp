#include "ui/shell/scan_status_strip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "base/path.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {

ScanStatusStrip::ScanStatusStrip(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0);
    spinner->setFixedSize(60, 8);
    spinner->setTextVisible(false);
    title_ = new QLabel;
    title_->setFont(DiskTheme::sized(11, QFont::Medium));
    scanned_ = new QLabel;
    scanned_->setFont(DiskTheme::caption());
    auto* cancel = new QPushButton(DiskTheme::icon("xmark"), QStringLiteral("Cancel Scan"));
    connect(cancel, &QPushButton::clicked, this, [this] { session_.cancelScan(); });
    layout->addWidget(spinner);
    layout->addWidget(title_);
    layout->addWidget(scanned_);
    layout->addStretch();
    layout->addWidget(cancel);
    connect(&session_.pulse(), &ScanPulse::changed, this, &ScanStatusStrip::refresh);
    connect(&session_, &AppSession::changed, this, [this](SessionField f) {
        if (f == SessionField::scanRoot || f == SessionField::isScanning) refresh();
    });
    refresh();
}

void ScanStatusStrip::refresh() {
    title_->setText(QStringLiteral("Scanning ") +
                    DiskTheme::displayText(Path::lastComponent(session_.scanRoot())));
    const auto& progress = session_.pulse().progress();
    scanned_->setVisible(bool(progress));
    if (progress)
        scanned_->setText(DiskTheme::bytes(progress->scannedBytes) + QStringLiteral(" scanned"));
}

} // namespace tb
