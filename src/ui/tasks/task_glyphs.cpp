#include "ui/tasks/task_glyphs.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <string>

namespace tb::TaskGlyphs {
namespace {

// Marks are drawn in a unit square (0..1) and scaled to the box.
using Mark = std::function<void(QPainterPath&)>;

void check(QPainterPath& p) {
    p.moveTo(0.28, 0.52);
    p.lineTo(0.44, 0.68);
    p.lineTo(0.73, 0.34);
}
void cross(QPainterPath& p) {
    p.moveTo(0.34, 0.34);
    p.lineTo(0.66, 0.66);
    p.moveTo(0.66, 0.34);
    p.lineTo(0.34, 0.66);
}
void plus(QPainterPath& p) {
    p.moveTo(0.5, 0.28);
    p.lineTo(0.5, 0.72);
    p.moveTo(0.28, 0.5);
    p.lineTo(0.72, 0.5);
}
void minus(QPainterPath& p) {
    p.moveTo(0.28, 0.5);
    p.lineTo(0.72, 0.5);
}
void upRight(QPainterPath& p) {
    p.moveTo(0.33, 0.67);
    p.lineTo(0.67, 0.33);
    p.moveTo(0.42, 0.33);
    p.lineTo(0.67, 0.33);
    p.lineTo(0.67, 0.58);
}
void downRight(QPainterPath& p) {
    p.moveTo(0.33, 0.33);
    p.lineTo(0.67, 0.67);
    p.moveTo(0.67, 0.42);
    p.lineTo(0.67, 0.67);
    p.lineTo(0.42, 0.67);
}
void exclamation(QPainterPath& p) {
    p.moveTo(0.5, 0.3);
    p.lineTo(0.5, 0.56);
    p.moveTo(0.5, 0.68);
    p.lineTo(0.5, 0.70);
}

enum class Frame { none, circle, square, shield };

struct Glyph {
    Frame frame;
    bool filled; // frame filled, mark in white
    Mark mark;
};

QPainterPath shieldPath() {
    QPainterPath s;
    s.moveTo(0.5, 0.06);
    s.cubicTo(0.64, 0.16, 0.78, 0.19, 0.9, 0.2);
    s.cubicTo(0.9, 0.58, 0.78, 0.82, 0.5, 0.95);
    s.cubicTo(0.22, 0.82, 0.1, 0.58, 0.1, 0.2);
    s.cubicTo(0.22, 0.19, 0.36, 0.16, 0.5, 0.06);
    s.closeSubpath();
    return s;
}

void tray(QPainterPath& p) {
    p.moveTo(0.1, 0.55);
    p.lineTo(0.22, 0.22);
    p.lineTo(0.78, 0.22);
    p.lineTo(0.9, 0.55);
    p.lineTo(0.9, 0.82);
    p.lineTo(0.1, 0.82);
    p.closeSubpath();
    p.moveTo(0.1, 0.55);
    p.lineTo(0.36, 0.55);
    p.lineTo(0.4, 0.64);
    p.lineTo(0.6, 0.64);
    p.lineTo(0.64, 0.55);
    p.lineTo(0.9, 0.55);
}

void sparkle(QPainterPath& p, double cx, double cy, double r) {
    const double k = r * 0.22;
    p.moveTo(cx, cy - r);
    p.quadTo(cx + k, cy - k, cx + r, cy);
    p.quadTo(cx + k, cy + k, cx, cy + r);
    p.quadTo(cx - k, cy + k, cx - r, cy);
    p.quadTo(cx - k, cy - k, cx, cy - r);
    p.closeSubpath();
}

void grid(QPainterPath& p, bool circles) {
    for (double x : {0.12, 0.56}) {
        for (double y : {0.12, 0.56}) {
            if (circles) {
                p.addEllipse(QRectF(x, y, 0.32, 0.32));
            } else {
                p.addRoundedRect(QRectF(x, y, 0.32, 0.32), 0.06, 0.06);
            }
        }
    }
}

// Rings cut into wedges, as the sunburst draws them.
void rings(QPainterPath& p) {
    p.addEllipse(QRectF(0.32, 0.32, 0.36, 0.36));
    for (auto [x1, y1, x2, y2] :
         {std::array{0.5, 0.32, 0.5, 0.06}, std::array{0.68, 0.5, 0.94, 0.5},
          std::array{0.4, 0.66, 0.26, 0.88}, std::array{0.34, 0.44, 0.1, 0.34}}) {
        p.moveTo(x1, y1);
        p.lineTo(x2, y2);
    }
}

void flame(QPainterPath& p) {
    p.moveTo(0.5, 0.06);
    p.cubicTo(0.58, 0.28, 0.84, 0.42, 0.82, 0.64);
    p.cubicTo(0.8, 0.84, 0.66, 0.94, 0.5, 0.94);
    p.cubicTo(0.34, 0.94, 0.18, 0.84, 0.18, 0.64);
    p.cubicTo(0.18, 0.5, 0.28, 0.4, 0.34, 0.3);
    p.cubicTo(0.38, 0.4, 0.42, 0.44, 0.46, 0.46);
    p.cubicTo(0.48, 0.32, 0.46, 0.18, 0.5, 0.06);
    p.closeSubpath();
    p.moveTo(0.5, 0.86);
    p.cubicTo(0.4, 0.86, 0.36, 0.78, 0.38, 0.7);
    p.cubicTo(0.4, 0.62, 0.48, 0.58, 0.5, 0.52);
    p.cubicTo(0.56, 0.6, 0.64, 0.66, 0.62, 0.74);
    p.cubicTo(0.6, 0.82, 0.56, 0.86, 0.5, 0.86);
}

// A root with three branches, as the mind map draws them.
void branches(QPainterPath& p) {
    p.addEllipse(QPointF(0.18, 0.5), 0.08, 0.08);
    for (double y : {0.18, 0.5, 0.82}) {
        p.moveTo(0.26, 0.5);
        p.quadTo(0.5, y, 0.74, y);
        p.addEllipse(QPointF(0.82, y), 0.07, 0.07);
    }
}

void numberedList(QPainterPath& p) {
    for (double y : {0.24, 0.5, 0.76}) {
        p.moveTo(0.4, y);
        p.lineTo(0.9, y);
    }
    // 1, 2, 3 as short strokes.
    p.moveTo(0.18, 0.16);
    p.lineTo(0.18, 0.32);
    p.moveTo(0.12, 0.44);
    p.lineTo(0.24, 0.44);
    p.lineTo(0.12, 0.58);
    p.lineTo(0.24, 0.58);
    p.moveTo(0.12, 0.68);
    p.lineTo(0.24, 0.68);
    p.lineTo(0.18, 0.76);
    p.lineTo(0.24, 0.84);
    p.lineTo(0.12, 0.84);
}

void calendar(QPainterPath& p) {
    p.addRoundedRect(QRectF(0.12, 0.2, 0.76, 0.68), 0.1, 0.1);
    p.moveTo(0.12, 0.38);
    p.lineTo(0.88, 0.38);
    for (double x : {0.32, 0.68}) {
        p.moveTo(x, 0.1);
        p.lineTo(x, 0.28);
    }
    for (double x : {0.3, 0.5, 0.7}) {
        for (double y : {0.54, 0.72}) {
            p.moveTo(x - 0.03, y);
            p.lineTo(x + 0.03, y);
        }
    }
}

void gear(QPainterPath& p) {
    p.addEllipse(QPointF(0.5, 0.5), 0.28, 0.28);
    p.addEllipse(QPointF(0.5, 0.5), 0.1, 0.1);
    for (int i = 0; i < 8; ++i) {
        const double a = i * 3.14159265358979 / 4;
        p.moveTo(0.5 + 0.28 * std::cos(a), 0.5 + 0.28 * std::sin(a));
        p.lineTo(0.5 + 0.42 * std::cos(a), 0.5 + 0.42 * std::sin(a));
    }
}

void pulse(QPainterPath& p) {
    p.moveTo(0.06, 0.52);
    p.lineTo(0.28, 0.52);
    p.lineTo(0.36, 0.3);
    p.lineTo(0.48, 0.82);
    p.lineTo(0.6, 0.18);
    p.lineTo(0.68, 0.52);
    p.lineTo(0.94, 0.52);
}

void panels(QPainterPath& p) {
    p.addRoundedRect(QRectF(0.1, 0.14, 0.38, 0.72), 0.06, 0.06);
    p.addRoundedRect(QRectF(0.56, 0.14, 0.34, 0.32), 0.06, 0.06);
    p.addRoundedRect(QRectF(0.56, 0.54, 0.34, 0.32), 0.06, 0.06);
}

const std::map<std::string, Glyph, std::less<>>& glyphs() {
    static const std::map<std::string, Glyph, std::less<>> all = {
        {"checkmark", {Frame::none, false, check}},
        {"checkmark.circle", {Frame::circle, false, check}},
        {"checkmark.circle.fill", {Frame::circle, true, check}},
        {"checkmark.square.fill", {Frame::square, true, check}},
        {"xmark.circle", {Frame::circle, false, cross}},
        {"xmark.circle.fill", {Frame::circle, true, cross}},
        {"plus.circle", {Frame::circle, false, plus}},
        {"minus.circle", {Frame::circle, false, minus}},
        {"arrow.up.right.circle", {Frame::circle, false, upRight}},
        {"arrow.down.right.circle", {Frame::circle, false, downRight}},
        {"checkmark.shield", {Frame::shield, true, check}},
        {"exclamationmark.shield", {Frame::shield, true, exclamation}},
        {"chevron.right",
         {Frame::none, false,
          [](QPainterPath& p) {
              p.moveTo(0.38, 0.2);
              p.lineTo(0.66, 0.5);
              p.lineTo(0.38, 0.8);
          }}},
        {"tray", {Frame::none, false, tray}},
        {"tray.full", {Frame::none, false, tray}},
        {"tray.full.fill",
         {Frame::none, false,
          [](QPainterPath& p) {
              tray(p);
              p.moveTo(0.3, 0.34);
              p.lineTo(0.7, 0.34);
              p.moveTo(0.27, 0.44);
              p.lineTo(0.73, 0.44);
          }}},
        {"sparkles",
         {Frame::none, false,
          [](QPainterPath& p) {
              sparkle(p, 0.42, 0.56, 0.34);
              sparkle(p, 0.78, 0.22, 0.16);
          }}},
        {"square.on.square",
         {Frame::none, false,
          [](QPainterPath& p) {
              p.addRoundedRect(QRectF(0.1, 0.28, 0.58, 0.58), 0.1, 0.1);
              p.moveTo(0.32, 0.28);
              p.lineTo(0.32, 0.2);
              p.quadTo(0.32, 0.1, 0.42, 0.1);
              p.lineTo(0.8, 0.1);
              p.quadTo(0.9, 0.1, 0.9, 0.2);
              p.lineTo(0.9, 0.58);
              p.quadTo(0.9, 0.68, 0.8, 0.68);
              p.lineTo(0.68, 0.68);
          }}},
        {"shippingbox",
         {Frame::none, false,
          [](QPainterPath& p) {
              p.addRect(QRectF(0.12, 0.32, 0.76, 0.56));
              p.moveTo(0.12, 0.32);
              p.lineTo(0.24, 0.12);
              p.lineTo(0.76, 0.12);
              p.lineTo(0.88, 0.32);
              p.moveTo(0.5, 0.12);
              p.lineTo(0.5, 0.32);
              p.moveTo(0.4, 0.46);
              p.lineTo(0.6, 0.46);
          }}},
        {"rectangle.3.group", {Frame::none, false, panels}},
        {"square.grid.2x2", {Frame::none, false, [](QPainterPath& p) { grid(p, false); }}},
        {"circle.grid.2x2", {Frame::none, false, [](QPainterPath& p) { grid(p, true); }}},
        {"circle.hexagongrid", {Frame::circle, false, rings}},
        {"flame", {Frame::none, false, flame}},
        {"point.3.connected.trianglepath.dotted", {Frame::none, false, branches}},
        {"list.number", {Frame::none, false, numberedList}},
        {"calendar", {Frame::none, false, calendar}},
        {"gearshape", {Frame::none, false, gear}},
        {"waveform.path.ecg", {Frame::none, false, pulse}},
        {"chart.line.uptrend.xyaxis",
         {Frame::none, false,
          [](QPainterPath& p) {
              p.moveTo(0.12, 0.1);
              p.lineTo(0.12, 0.88);
              p.lineTo(0.9, 0.88);
              p.moveTo(0.22, 0.72);
              p.lineTo(0.42, 0.5);
              p.lineTo(0.56, 0.6);
              p.lineTo(0.86, 0.24);
          }}},
    };
    return all;
}

} // namespace

bool has(std::string_view symbol) {
    return glyphs().find(symbol) != glyphs().end();
}

void draw(QPainter& painter, std::string_view symbol, const QRectF& box, const QColor& color) {
    auto it = glyphs().find(symbol);
    if (it == glyphs().end()) return;
    const Glyph& g = it->second;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width(), box.height());
    const double stroke = std::max(1.4 / box.width(), 0.075);
    QPen pen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    QPainterPath frame;
    if (g.frame == Frame::circle) frame.addEllipse(QRectF(0.06, 0.06, 0.88, 0.88));
    if (g.frame == Frame::square) frame.addRoundedRect(QRectF(0.08, 0.08, 0.84, 0.84), 0.18, 0.18);
    if (g.frame == Frame::shield) frame = shieldPath();
    if (g.filled) {
        painter.fillPath(frame, color);
    } else if (!frame.isEmpty()) {
        painter.strokePath(frame, pen);
    }
    QPainterPath mark;
    g.mark(mark);
    if (g.filled) pen.setColor(Qt::white);
    if (symbol == "sparkles") {
        painter.fillPath(mark, color);
    } else {
        painter.strokePath(mark, pen);
    }
    painter.restore();
}

} // namespace tb::TaskGlyphs
