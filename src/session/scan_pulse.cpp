#include "session/scan_pulse.h"

namespace tb {

void ScanPulse::setProgress(std::optional<WalkProgress> progress) {
    progress_ = std::move(progress);
    emit changed();
}

void ScanPulse::applyTruth(std::int64_t scanned, std::int64_t unreadable,
                           const std::optional<VolumeSnapshot>& volume,
                           const std::optional<std::string>& scanRoot) {
    if (!volume) return;
    truth_ = VolumeAccounting::truth(*volume, scanned, unreadable, scanRoot);
    emit changed();
}

// Four times a second during a scan: one notification for both fields, so
// the strip, the panel and the bar redraw once per report.
void ScanPulse::apply(const WalkProgress& progress, const std::optional<VolumeSnapshot>& volume,
                      const std::optional<std::string>& scanRoot) {
    progress_ = progress;
    if (volume)
        truth_ =
            VolumeAccounting::truth(*volume, progress.scannedBytes, progress.unreadable, scanRoot);
    emit changed();
}

} // namespace tb
