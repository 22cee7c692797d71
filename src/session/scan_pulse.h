// The scan's progress and the volume bar, observed apart from the session so
// that four reports a second redraw only what shows them. Interface thread only.
#pragma once

#include <QObject>

#include <optional>
#include <string>

#include "scan/raw_entry.h"
#include "scan/volume_accounting.h"

namespace tb {

class ScanPulse : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const std::optional<WalkProgress>& progress() const { return progress_; }
    const std::optional<TruthModel>& truth() const { return truth_; }

    void setProgress(std::optional<WalkProgress> progress);
    // Without a volume the truth model stays as it is.
    void applyTruth(std::int64_t scanned, std::int64_t unreadable,
                    const std::optional<VolumeSnapshot>& volume,
                    const std::optional<std::string>& scanRoot);
    void apply(const WalkProgress& progress, const std::optional<VolumeSnapshot>& volume,
               const std::optional<std::string>& scanRoot);

signals:
    void changed();

private:
    std::optional<WalkProgress> progress_;
    std::optional<TruthModel> truth_;
};

} // namespace tb
