#include "ui/disk_theme.h"

#include <QApplication>
#include <QDateTime>
#include <QFontDatabase>
#include <QIconEngine>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QWidget>

#include <map>
#include <string>

#include "base/byte_format.h"
#include "ui/tasks/task_glyphs.h"

namespace tb::DiskTheme {

// Sizes are given in points of the layouts (one point a pixel at 1x); on a
// 96 dpi desktop they are slightly enlarged to read well.
constexpr double kPointScale = 1.15;

QColor primary() {
    return QApplication::palette().color(QPalette::WindowText);
}
QColor accent() {
    return QApplication::palette().color(QPalette::Highlight);
}

QColor primary(double opacity) {
    QColor c = primary();
    c.setAlphaF(float(opacity));
    return c;
}

QColor accent(double opacity) {
    QColor c = accent();
    c.setAlphaF(float(opacity));
    return c;
}

QColor slice(int position) {
    const int i = ((position % 6) + 6) % 6;
    return primary(shades[std::size_t(i)]);
}

QColor textBackground() {
    return QApplication::palette().color(QPalette::Base);
}
QColor secondary() {
    return QApplication::palette().color(QPalette::PlaceholderText);
}
QColor halo() {
    return accent();
}
QColor kindHue(std::size_t kind) {
    static constexpr QRgb dark[kindHueCount] = {
        0xe8676a, 0x6bb35f, 0xb98bd0, 0xf29a48, 0x5b8fd6, 0xe6c654, 0x5fc2bb, 0x8e9094,
    };
    static constexpr QRgb light[kindHueCount] = {
        0xd9474b, 0x4f9a45, 0x9a6bbf, 0xe8822a, 0x3f74bd, 0xd6b02e, 0x3ea9a2, 0x9fa2a6,
    };
    const bool darkTheme = textBackground().lightnessF() < 0.5;
    const QRgb rgb = (darkTheme ? dark : light)[kind < kindHueCount ? kind : kindHueCount - 1];
    return QColor::fromRgb(rgb);
}

QColor readableOn(const QColor& fill) {
    // Relative luminance of sRGB, roughly: above the middle, dark text.
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    return luminance > 0.55 ? ink() : paper();
}

QColor green() {
    return QColor(52, 168, 83);
}
QColor orange() {
    return QColor(230, 126, 34);
}

QEasingCurve ease() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.2, 0.0), QPointF(0.0, 1.0), QPointF(1.0, 1.0));
    return curve;
}

QFont caption() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(int(10 * kPointScale + 0.5));
    f.setWeight(QFont::Medium);
    return f;
}

QFont mono(double size) {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(int(size * kPointScale + 0.5));
    return f;
}

QFont display(double size) {
    return sized(size, QFont::DemiBold);
}

QFont sized(double size, int weight) {
    QFont f = QApplication::font();
    f.setPixelSize(int(size * kPointScale + 0.5));
    f.setWeight(QFont::Weight(weight));
    return f;
}

// The task styles are fixed in pixels, so that the proportions between them
// hold on any screen density.
static QFont pixelFont(int pixels, QFont::Weight weight = QFont::Normal) {
    QFont f = QApplication::font();
    f.setPixelSize(pixels);
    f.setWeight(weight);
    return f;
}

QFont body() {
    return pixelFont(13);
}
QFont headline() {
    return pixelFont(13, QFont::DemiBold);
}
QFont callout() {
    return pixelFont(12);
}
QFont captionFont() {
    return pixelFont(11);
}
QFont caption2() {
    return pixelFont(10);
}
QFont title3() {
    return pixelFont(16);
}
QFont title() {
    return pixelFont(20, QFont::DemiBold);
}

namespace {

// A drawn symbol, painted at whatever size is asked in the palette's colour
// for the icon's mode.
class GlyphIconEngine : public QIconEngine {
public:
    explicit GlyphIconEngine(std::string_view symbol) : symbol_(symbol) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const QPalette palette = QApplication::palette();
        const QColor color = mode == QIcon::Disabled
                                 ? palette.color(QPalette::Disabled, QPalette::WindowText)
                             : mode == QIcon::Selected ? palette.color(QPalette::HighlightedText)
                                                       : palette.color(QPalette::WindowText);
        TaskGlyphs::draw(*painter, symbol_, QRectF(rect), color);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new GlyphIconEngine(symbol_); }

private:
    std::string symbol_;
};

} // namespace

QIcon icon(std::string_view symbol) {
    // The views name icons by their system symbol names; these are the
    // nearest freedesktop icon names, with a style icon where no theme has one.
    // The tabs and the Explore modes are drawn here (no theme name): themes
    // and styles offer one "statistics" or "info" icon for several of them,
    // and a sidebar of look-alike icons does not help anyone find a tab.
    static const std::map<std::string, std::pair<const char*, QStyle::StandardPixmap>, std::less<>>
        names = {
            {"folder", {"folder", QStyle::SP_DirIcon}},
            {"folder.fill", {"folder", QStyle::SP_DirIcon}},
            {"doc", {"text-x-generic", QStyle::SP_FileIcon}},
            {"doc.fill", {"text-x-generic", QStyle::SP_FileIcon}},
            {"internaldrive", {"drive-harddisk", QStyle::SP_DriveHDIcon}},
            {"rectangle.3.group", {nullptr, QStyle::SP_FileDialogListView}},
            {"square.grid.2x2", {nullptr, QStyle::SP_FileDialogDetailedView}},
            {"sparkles", {nullptr, QStyle::SP_DialogResetButton}},
            {"shippingbox", {nullptr, QStyle::SP_DriveCDIcon}},
            {"square.on.square", {nullptr, QStyle::SP_FileDialogContentsView}},
            {"chart.line.uptrend.xyaxis", {nullptr, QStyle::SP_FileDialogInfoView}},
            {"tray.full", {nullptr, QStyle::SP_DirOpenIcon}},
            {"tray.full.fill", {"mail-inbox", QStyle::SP_DirOpenIcon}},
            {"tray", {"mail-inbox", QStyle::SP_DirOpenIcon}},
            {"tray.and.arrow.down", {"document-save", QStyle::SP_DirOpenIcon}},
            {"waveform.path.ecg", {nullptr, QStyle::SP_ComputerIcon}},
            {"gearshape", {nullptr, QStyle::SP_FileDialogDetailedView}},
            {"xmark", {"process-stop", QStyle::SP_BrowserStop}},
            {"xmark.circle", {"list-remove", QStyle::SP_DialogCancelButton}},
            {"xmark.circle.fill", {"dialog-error", QStyle::SP_MessageBoxCritical}},
            {"checkmark.circle.fill", {"emblem-default", QStyle::SP_DialogApplyButton}},
            {"checkmark.circle", {"emblem-default", QStyle::SP_DialogApplyButton}},
            {"checkmark.square.fill", {"checkbox-checked", QStyle::SP_DialogApplyButton}},
            {"checkmark.shield", {"security-high", QStyle::SP_DialogApplyButton}},
            {"checkmark", {"emblem-default", QStyle::SP_DialogApplyButton}},
            {"exclamationmark.shield", {"security-medium", QStyle::SP_MessageBoxWarning}},
            {"exclamationmark.triangle", {"dialog-warning", QStyle::SP_MessageBoxWarning}},
            {"info.circle", {"dialog-information", QStyle::SP_MessageBoxInformation}},
            {"arrow.clockwise", {"view-refresh", QStyle::SP_BrowserReload}},
            {"arrow.uturn.backward", {"edit-undo", QStyle::SP_ArrowBack}},
            {"arrow.up.right", {"go-up", QStyle::SP_ArrowUp}},
            {"arrow.down.right", {"go-down", QStyle::SP_ArrowDown}},
            {"arrow.down.doc", {"document-import", QStyle::SP_ArrowDown}},
            {"arrow.down.doc.fill", {"document-import", QStyle::SP_ArrowDown}},
            {"plus", {"list-add", QStyle::SP_FileDialogNewFolder}},
            {"plus.circle", {"list-add", QStyle::SP_FileDialogNewFolder}},
            {"minus.circle", {"list-remove", QStyle::SP_TrashIcon}},
            {"arrow.up.right.circle", {"go-up", QStyle::SP_ArrowUp}},
            {"arrow.down.right.circle", {"go-down", QStyle::SP_ArrowDown}},
            {"trash", {"user-trash", QStyle::SP_TrashIcon}},
            {"sidebar.right", {"view-right-pane", QStyle::SP_FileDialogDetailedView}},
            {"magnifyingglass.circle", {"system-search", QStyle::SP_FileDialogContentsView}},
            {"calendar", {nullptr, QStyle::SP_FileDialogInfoView}},
            {"list.number", {nullptr, QStyle::SP_FileDialogListView}},
            {"flame", {nullptr, QStyle::SP_FileDialogInfoView}},
            {"circle.hexagongrid", {nullptr, QStyle::SP_FileDialogInfoView}},
            {"circle.grid.2x2", {nullptr, QStyle::SP_FileDialogDetailedView}},
            {"point.3.connected.trianglepath.dotted", {nullptr, QStyle::SP_FileDialogInfoView}},
            {"chevron.right", {"go-next", QStyle::SP_ArrowRight}},
            {"chevron.compact.right", {"go-next", QStyle::SP_ArrowRight}},
        };
    auto it = names.find(symbol);
    if (it == names.end()) return {};
    if (!it->second.first && TaskGlyphs::has(symbol)) return QIcon(new GlyphIconEngine(symbol));
    const QIcon themed =
        it->second.first ? QIcon::fromTheme(QString::fromLatin1(it->second.first)) : QIcon();
    if (!themed.isNull()) return themed;
    return QApplication::style()->standardIcon(it->second.second);
}

QString bytes(std::int64_t count) {
    return QString::fromStdString(ByteFormat::string(count));
}

QString shortDate(Date date, bool withYear) {
    if (date.isDistantPast()) return QStringLiteral("Unknown");
    const auto when =
        QDateTime::fromMSecsSinceEpoch(date.seconds * 1000 + date.nanoseconds / 1'000'000);
    return QLocale().toString(
        when, withYear ? QStringLiteral("d MMM yyyy, HH:mm") : QStringLiteral("d MMM, HH:mm"));
}

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

namespace {

// Characters that change how the text around them is laid out without
// showing themselves: bidirectional marks, embeddings, overrides and
// isolates, line and paragraph separators, and the C1 controls. Shown as
// their code, so "gpj.exe" behind a right-to-left override cannot pass for
// "exe.jpg".
bool isLayoutControl(char16_t u) {
    return (u >= 0x80 && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F ||
           (u >= 0x2028 && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

} // namespace

QString displayText(std::string_view raw) {
    const QString decoded = text(raw);
    QString text;
    text.reserve(decoded.size());
    for (const QChar ch : decoded) {
        const char16_t u = ch.unicode();
        if (u == '\n') {
            text += QChar(0x23CE); // ⏎
        } else if (u < 0x20) {
            text += QChar(0x2400 + u); // the Control Pictures block
        } else if (u == 0x7F) {
            text += QChar(0x2421);
        } else if (isLayoutControl(u)) {
            text += QStringLiteral("<U+%1>").arg(uint(u), 4, 16, QChar('0')).toUpper();
        } else {
            text += ch;
        }
    }
    return text;
}

QString toolTipText(std::string_view rawBytes) {
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") +
           displayText(rawBytes).toHtmlEscaped() + QStringLiteral("</p>");
}

QLabel* nameLabel(std::string_view rawBytes) {
    auto* label = new QLabel(displayText(rawBytes));
    label->setTextFormat(Qt::PlainText);
    return label;
}

void makeSecondary(QWidget* widget, double pointSize) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, secondary());
    p.setColor(QPalette::Text, secondary());
    widget->setPalette(p);
    if (pointSize > 0) {
        QFont f = widget->font();
        f.setPixelSize(int(pointSize * kPointScale + 0.5));
        widget->setFont(f);
    }
}

} // namespace tb::DiskTheme
