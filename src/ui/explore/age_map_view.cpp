#include "ui/explore/age_map_view.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

#include "base/count_text.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/explore/node_list_view.h"

namespace tb {

namespace {

constexpr int fileRowHeight = 26;
constexpr int sidePadding = 10;
constexpr int columnGap = 12;

void paintBandFile(QPainter& painter, const QRect& rect, const ScanNode& node) {
    const QRect row = rect.adjusted(sidePadding, 0, -sidePadding, 0);
    const QRect bytesRect(row.right() - AgeBandRow::bytesColumn, row.top(), AgeBandRow::bytesColumn,
                          row.height());
    const QRect nameRect(row.left(), row.top(),
                         std::max(0, bytesRect.left() - columnGap - row.left()), row.height());
    painter.setPen(DiskTheme::primary());
    painter.drawText(
        nameRect, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetricsF(painter.font())
            .elidedText(DiskTheme::displayText(node.name()), Qt::ElideMiddle, nameRect.width()));
    painter.setFont(DiskTheme::caption());
    painter.setPen(DiskTheme::secondary());
    painter.drawText(bytesRect, Qt::AlignRight | Qt::AlignVCenter,
                     DiskTheme::bytes(node.allocatedSize()));
}

} // namespace

// --- AgeBandRow ------------------------------------------------------------

AgeBandRow::AgeBandRow(const AgeMapView& map, std::size_t index, QWidget* parent)
    : QAbstractButton(parent), map_(map), index_(index) {
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(DiskTheme::text(band().label) + QStringLiteral(", ") +
                      DiskTheme::bytes(band().bytes) + QStringLiteral(", ") + countText());
}

const AgeBand& AgeBandRow::band() const {
    return map_.bands()[index_];
}

QString AgeBandRow::countText() const {
    return QString::fromStdString(CountText::of(band().fileCount, "file"));
}

bool AgeBandRow::chosen() const {
    return map_.chosenBand() == &band();
}

double AgeBandRow::barWidth(std::int64_t bytes, std::int64_t largest, double available) {
    const double share = largest < 1 ? 0.0 : double(bytes) / double(largest);
    return std::max(available * share, minBarWidth);
}

double AgeBandRow::barAvailableWidth() const {
    return std::max(
        0, width() - 2 * sidePadding - labelColumn - countColumn - bytesColumn - 2 * columnGap);
}

QRectF AgeBandRow::barRect() const {
    const double left = sidePadding + labelColumn + countColumn + columnGap;
    const double h = chosen() ? chosenBarHeight : barHeight;
    return QRectF(left, (height - h) / 2,
                  barWidth(band().bytes, map_.largestBandBytes(), barAvailableWidth()), h);
}

void AgeBandRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (underMouse()) painter.fillRect(rect(), DiskTheme::primary(0.04));

    const AgeBand& b = band();
    const QRect labelRect(sidePadding, 0, labelColumn, height);
    const QRect countRect(labelRect.right() + 1, 0, countColumn, height);
    const QRect bytesRect(width() - sidePadding - bytesColumn, 0, bytesColumn, height);

    painter.setFont(DiskTheme::display(12));
    painter.setPen(DiskTheme::primary());
    painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(b.label));
    painter.setFont(DiskTheme::caption());
    painter.setPen(DiskTheme::secondary());
    painter.drawText(countRect, Qt::AlignLeft | Qt::AlignVCenter, countText());

    const QRectF bar = barRect();
    painter.setPen(chosen() ? QPen(DiskTheme::halo(), 2) : QPen(Qt::NoPen));
    painter.setBrush(DiskTheme::slice(int(index_)));
    painter.drawRoundedRect(bar, 3, 3);

    painter.setPen(DiskTheme::primary());
    painter.drawText(bytesRect, Qt::AlignRight | Qt::AlignVCenter, DiskTheme::bytes(b.bytes));
}

// --- AgeMapView --------------------------------------------------------------

AgeMapView::AgeMapView(AppSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(8);
    rowLayout_ = new QVBoxLayout;
    rowLayout_->setSpacing(0);
    layout->addLayout(rowLayout_);
    files_ = new NodeListView(session_, fileRowHeight, paintBandFile, false);
    layout->addWidget(files_, 1);
    layout->addStretch(0);

    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::forest) setRoot(nullptr);
        if (field == SessionField::ageBucket) showChosen();
    });
}

void AgeMapView::setRoot(const ScanNode* root) {
    const bool same = root && root_ && root->id() == root_->id();
    root_ = root;
    if (!same) rebuild();
}

void AgeMapView::rebuild() {
    bands_.clear();
    if (root_) {
        const auto& forest = session_.forest();
        bands_ = forest && forest->root()->id() == root_->id()
                     ? forest->ageBands()
                     : AgeLayout::bands(*root_, Date::now());
    }
    for (AgeBandRow* row : rows_)
        delete row;
    rows_.clear();
    for (std::size_t i = 0; i < bands_.size(); ++i) {
        auto* row = new AgeBandRow(*this, i);
        connect(row, &QAbstractButton::clicked, this, [this, i] { choose(i); });
        rowLayout_->addWidget(row);
        rows_.push_back(row);
    }
    showChosen();
}

void AgeMapView::choose(std::size_t index) {
    if (index >= bands_.size()) return;
    const AgeBand& band = bands_[index];
    const ScanNode* first = band.files.empty() ? nullptr : band.files.front();
    session_.setAgeBucket(band.id);
    if (first) session_.select(first);
}

const AgeBand* AgeMapView::chosenBand() const {
    const auto& key = session_.ageBucket();
    if (!key) return nullptr;
    for (const AgeBand& band : bands_) {
        if (band.id == *key) return &band;
    }
    return nullptr;
}

std::int64_t AgeMapView::largestBandBytes() const {
    std::int64_t largest = 0;
    for (const AgeBand& band : bands_)
        largest = std::max(largest, band.bytes);
    return largest;
}

void AgeMapView::showChosen() {
    const AgeBand* band = chosenBand();
    files_->setNodes(band ? band->files : std::vector<const ScanNode*>{});
    files_->setVisible(band != nullptr);
    for (AgeBandRow* row : rows_)
        row->update();
}

} // namespace tb
