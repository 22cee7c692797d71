#include "ui/explore/maps/hover_caption.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "ui/disk_theme.h"

namespace tb {

namespace {
constexpr double edgeInset = 10;
constexpr double padX = 10;
constexpr double padY = 6;
constexpr double corner = 10;
constexpr double gapBeforeBytes = 8;
} // namespace

void HoverCaption::paint(QPainter& painter, const QRectF& area) const {
    const QFont font = DiskTheme::caption();
    const QFontMetricsF metrics(font);
    const QString sizeText = DiskTheme::bytes(bytes);
    const double sizeWidth = metrics.horizontalAdvance(sizeText);
    // The title gives way first when the map is narrow.
    const double maxTitle =
        std::max(0.0, area.width() - 2 * edgeInset - 2 * padX - gapBeforeBytes - sizeWidth);
    const QString titleText =
        metrics.elidedText(DiskTheme::displayText(title), Qt::ElideMiddle, maxTitle);
    const double titleWidth = metrics.horizontalAdvance(titleText);

    const double width = padX + titleWidth + gapBeforeBytes + sizeWidth + padX;
    const double height = padY + metrics.height() + padY;
    const QRectF card(area.left() + edgeInset, area.bottom() - edgeInset - height, width, height);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor material = DiskTheme::textBackground();
    material.setAlphaF(0.86f);
    painter.setPen(QPen(DiskTheme::primary(0.12), 1));
    painter.setBrush(material);
    painter.drawRoundedRect(card, corner, corner);

    painter.setFont(font);
    const QRectF text = card.adjusted(padX, padY, -padX, -padY);
    painter.setPen(DiskTheme::primary());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, titleText);
    painter.setPen(DiskTheme::secondary());
    painter.drawText(text, Qt::AlignRight | Qt::AlignVCenter, sizeText);
    painter.restore();
}

} // namespace tb
