// Bytes by how recently they changed: one row per age band with a bar of its
// bytes against the largest band, and the chosen band's files below. A click
// on a band chooses it (the session's ageBucket) and selects its largest file.
#pragma once

#include <QAbstractButton>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "scan/age_bands.h"

class QVBoxLayout;

namespace tb {

class AppSession;
class AgeMapView;
class NodeListView;

class AgeBandRow : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int height = 34;
    static constexpr int labelColumn = 56;
    static constexpr int countColumn = 96;
    static constexpr int bytesColumn = 80;
    static constexpr double chosenBarHeight = 22;
    static constexpr double barHeight = 16;
    static constexpr double minBarWidth = 4;

    AgeBandRow(const AgeMapView& map, std::size_t index, QWidget* parent = nullptr);

    // max(available × bytes ÷ largest, 4); the share is 0 when `largest` is below 1.
    static double barWidth(std::int64_t bytes, std::int64_t largest, double available);
    // Where the bar is drawn, in the row's coordinates.
    QRectF barRect() const;
    // The width a bar of the largest band takes.
    double barAvailableWidth() const;
    // How many files the band holds, all of them, not only those listed.
    QString countText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize sizeHint() const override { return QSize(320, height); }

private:
    const AgeBand& band() const;
    bool chosen() const;

    const AgeMapView& map_;
    std::size_t index_;
};

class AgeMapView : public QWidget {
    Q_OBJECT
public:
    explicit AgeMapView(AppSession& session, QWidget* parent = nullptr);

    // Rebuilds the bands when the root's identity changes; null forgets them.
    void setRoot(const ScanNode* root);
    const ScanNode* root() const { return root_; }
    const std::vector<AgeBand>& bands() const { return bands_; }
    const std::vector<AgeBandRow*>& rows() const { return rows_; }
    NodeListView* fileList() const { return files_; }

    // The first band whose id equals the session's ageBucket, if any.
    const AgeBand* chosenBand() const;
    std::int64_t largestBandBytes() const;

private:
    void rebuild();
    void choose(std::size_t index);
    void showChosen();

    AppSession& session_;
    const ScanNode* root_ = nullptr;
    std::vector<AgeBand> bands_;
    std::vector<AgeBandRow*> rows_;
    QVBoxLayout* rowLayout_;
    NodeListView* files_;
};

} // namespace tb
