// Small vector drawings of the system symbols the task views show in colour
// (status badges, empty states), so that a tint reads as a shape rather than
// a filled silhouette of a desktop icon. Interface thread only.
#pragma once

#include <QColor>
#include <QRectF>

#include <string_view>

class QPainter;

namespace tb::TaskGlyphs {

// Whether there is a drawing for `symbol`.
bool has(std::string_view symbol);
// Draws `symbol` into `box` in `color`; does nothing for an unknown symbol.
void draw(QPainter& painter, std::string_view symbol, const QRectF& box, const QColor& color);

} // namespace tb::TaskGlyphs
