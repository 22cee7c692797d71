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

void ScanPulse::apply(const WalkProgress& progress, const std::optional<VolumeSnapshot>& volume,
                      const std::optional<std::string>& scanRoot) {
    progress_ = progress;
    emit changed();
    applyTruth(progress.scannedBytes, progress.unreadable, volume, scanRoot);
}

} // namespace tb
