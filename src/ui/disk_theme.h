// The one place that fixes colours, shades, sizes, fonts and motion. Colours
// are the palette's semantic ones (text as "primary", highlight as accent),
// so the maps follow the desktop's light or dark theme. Interface thread only.
#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QIcon>
#include <QString>

#include <array>
#include <string_view>

#include "base/date.h"

class QLabel;
class QWidget;

namespace tb::DiskTheme {

inline constexpr std::array<double, 6> shades = {0.88, 0.70, 0.54, 0.40, 0.28, 0.16};
inline constexpr double pressScale = 0.96;
inline constexpr int bezel = 20;
inline constexpr int truthBarHeight = 14;
inline constexpr int hit = 44;
inline constexpr int easeMs = 220;

QColor primary(); // the palette's text colour
QColor accent();  // the palette's highlight colour
QColor primary(double opacity);
QColor accent(double opacity);
QColor slice(int position); // primary at shades[position mod 6]
QColor textBackground();    // the palette's base colour
QColor secondary();         // text at reduced emphasis
inline QColor ink() {
    return Qt::black;
}
inline QColor paper() {
    return Qt::white;
}
inline QColor mute() {
    return QColor::fromRgbF(0.45f, 0.45f, 0.45f, 1.0f);
}
inline QColor hairline() {
    return QColor::fromRgbF(1, 1, 1, 0.12f);
}
QColor halo(); // marks the selected shape in every map
// The maps' colours by file type, one per kind in the Types mode's order
// (video, images, audio, archives, code, documents, disk images, other):
// muted hues apart in both hue and lightness, the last a neutral grey, and
// slightly deeper on a light theme than on a dark one.
inline constexpr std::size_t kindHueCount = 8;
QColor kindHue(std::size_t kind);
// Black or white, whichever reads better on the opaque colour `fill`.
QColor readableOn(const QColor& fill);
QColor green();
QColor orange();
QEasingCurve ease(); // cubic (0.2, 0) (0, 1)

QFont caption(); // monospaced 10 pt medium
QFont mono(double size);
QFont display(double size); // system font, semibold
QFont sized(double size, int weight = QFont::Normal);
// The task views' text styles, from a line of detail up to a view's title.
QFont body();
QFont headline(); // body size, semibold
QFont callout();
QFont captionFont(); // proportional, unlike caption()
QFont caption2();
QFont title3();
QFont title();

// A desktop icon for one of the system symbol names the views use.
QIcon icon(std::string_view symbol);

// "1.5 KB" as a QString.
QString bytes(std::int64_t count);
// "6 Dec 2026, 21:07" in local time ("6 Dec, 21:07" without the year);
// "Unknown" for the distant past.
QString shortDate(Date date, bool withYear = true);
// Text of the program's own (titles, hints) from UTF-8; a byte that is not
// UTF-8 shows as U+FFFD. Names, and messages that may hold one, go through
// displayText.
QString text(std::string_view utf8);
// A path or name (raw bytes) for display: invalid UTF-8 shows as U+FFFD,
// control characters as visible symbols (a newline as "⏎"), and
// bidirectional overrides, isolates and marks as their code ("<U+202E>"), so
// that no name can pose as another. Show it as plain text, never rich text.
QString displayText(std::string_view rawBytes);

// displayText for a tool tip, which Qt would read as markup when it looks
// like some: escaped inside a paragraph of its own.
QString toolTipText(std::string_view rawBytes);
// A plain-text label showing a name or path (raw bytes) through displayText.
QLabel* nameLabel(std::string_view rawBytes);

// Sets a widget's font to a secondary caption style.
void makeSecondary(QWidget* widget, double pointSize = 0);

} // namespace tb::DiskTheme
