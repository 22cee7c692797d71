#include "ui/explore/maps/kind_legend.h"

#include <QFontMetrics>
#include <QPainter>

#include "layout/file_kinds.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

constexpr int swatch = 10;
constexpr int gap = 5;      // between a swatch and its name
constexpr int spacing = 14; // between entries

} // namespace

KindLegend::KindLegend(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("kindLegend"));
    setFont(DiskTheme::sized(11));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setToolTip(
        QStringLiteral("Colours by file type; a folder takes the type of most of its bytes"));
}

QStringList KindLegend::names() {
    QStringList out;
    for (std::size_t k = 0; k < FileKinds::kindCount; ++k) {
        const auto title = FileKinds::title(FileKinds::Kind(k));
        out << QString::fromLatin1(title.data(), qsizetype(title.size()));
    }
    return out;
}

QSize KindLegend::sizeHint() const {
    const QFontMetrics metrics(font());
    int width = 0;
    for (const QString& name : names())
        width += swatch + gap + metrics.horizontalAdvance(name) + spacing;
    return QSize(width, std::max(metrics.height(), swatch) + 4);
}

QSize KindLegend::minimumSizeHint() const {
    return QSize(0, sizeHint().height());
}

void KindLegend::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const int middle = height() / 2;
    int x = 0;
    const QStringList all = names();
    for (int k = 0; k < all.size(); ++k) {
        const int textWidth = metrics.horizontalAdvance(all[k]);
        if (x + swatch + gap + textWidth > width()) break; // what does not fit is left out whole
        painter.setPen(Qt::NoPen);
        painter.setBrush(DiskTheme::kindHue(std::size_t(k)));
        painter.drawRoundedRect(QRectF(x, middle - swatch / 2.0, swatch, swatch), 2, 2);
        painter.setPen(DiskTheme::secondary());
        painter.drawText(QRect(x + swatch + gap, 0, textWidth + 2, height()),
                         Qt::AlignLeft | Qt::AlignVCenter, all[k]);
        x += swatch + gap + textWidth + spacing;
    }
}

} // namespace tb
